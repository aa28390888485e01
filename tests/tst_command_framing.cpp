#include "command_framing.h"

#include <QDataStream>
#include <QtTest>

using framing::FrameStatus;

Q_DECLARE_METATYPE(FrameStatus)

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// What the plugin's writer produces: one QString through a version 7 stream.
QByteArray streamed(const QString &word)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_4_0);
    stream << word;
    return out;
}

// Splits `stream` at the given cut points and reads it the way the helper
// does: take whole frames from the front of what has arrived so far.
QStringList readInChunks(const QByteArray &stream, const QList<int> &cuts, bool *bad)
{
    QStringList words;
    QByteArray arrived;
    int from = 0;
    QList<int> ends = cuts;
    ends.append(stream.size());
    for (int end : ends) {
        arrived += stream.mid(from, end - from);
        from = end;
        for (;;) {
            const framing::Frame frame = framing::parseFrame(arrived.constData(), arrived.size());
            if (frame.status == FrameStatus::NeedMore)
                break;
            if (frame.status != FrameStatus::Complete) {
                *bad = true;
                return words;
            }
            words.append(frame.word);
            arrived.remove(0, frame.consumed);
        }
        if (arrived.size() > framing::kMaxFrameBytes)
            *bad = true;  // would mean unbounded holding
    }
    return words;
}

}  // namespace

class TestCommandFraming : public QObject
{
    Q_OBJECT

private slots:
    void encodesWhatQDataStreamWrites_data()
    {
        QTest::addColumn<QString>("word");
        QTest::newRow("start") << QStringLiteral("start");
        QTest::newRow("startother") << QStringLiteral("startother");
        QTest::newRow("empty") << QString(QLatin1String(""));
        QTest::newRow("null") << QString();
        QTest::newRow("non-latin") << QString::fromUtf8("f\xC3\xA4rg \xE2\x82\xAC \xF0\x9F\x92\xA1");
    }
    void encodesWhatQDataStreamWrites()
    {
        QFETCH(QString, word);
        QCOMPARE(framing::encodeFrame(word), streamed(word));
    }

    void parsesOneFrame_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<FrameStatus>("status");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("consumed");
        QTest::addColumn<bool>("isNull");

        const QByteArray stop = framing::encodeFrame(QStringLiteral("stop"));
        QTest::newRow("nothing") << QByteArray() << FrameStatus::NeedMore << QString() << 0 << true;
        QTest::newRow("half a header") << stop.left(3) << FrameStatus::NeedMore << QString() << 0 << true;
        QTest::newRow("header only") << stop.left(4) << FrameStatus::NeedMore << QString() << 0 << true;
        QTest::newRow("one byte short") << stop.left(11) << FrameStatus::NeedMore << QString() << 0 << true;
        QTest::newRow("whole") << stop << FrameStatus::Complete << QStringLiteral("stop") << 12 << false;
        QTest::newRow("whole plus next") << stop + stop.left(5) << FrameStatus::Complete << QStringLiteral("stop") << 12
                                         << false;
        QTest::newRow("null string") << bytes({0xFF, 0xFF, 0xFF, 0xFF}) << FrameStatus::Complete << QString() << 4 << true;
        QTest::newRow("empty string") << bytes({0, 0, 0, 0}) << FrameStatus::Complete << QString(QLatin1String("")) << 4
                                      << false;
        QTest::newRow("odd length") << bytes({0, 0, 0, 3, 0, 0x61, 0}) << FrameStatus::BadLength << QString() << 0
                                    << true;
        QTest::newRow("largest allowed, incomplete") << bytes({0, 0, 4, 0}) << FrameStatus::NeedMore << QString() << 0
                                                     << true;
        QTest::newRow("just over the cap") << bytes({0, 0, 4, 2}) << FrameStatus::TooLong << QString() << 0 << true;
        QTest::newRow("huge") << bytes({0x7F, 0xFF, 0xFF, 0xFE}) << FrameStatus::TooLong << QString() << 0 << true;
        QTest::newRow("0xFFFFFFFE") << bytes({0xFF, 0xFF, 0xFF, 0xFE}) << FrameStatus::TooLong << QString() << 0
                                    << true;
    }
    void parsesOneFrame()
    {
        QFETCH(QByteArray, input);
        QFETCH(FrameStatus, status);
        QFETCH(QString, word);
        QFETCH(int, consumed);
        QFETCH(bool, isNull);
        const framing::Frame frame = framing::parseFrame(input.constData(), input.size());
        QCOMPARE(frame.status, status);
        if (status == FrameStatus::Complete) {
            QCOMPARE(frame.word, word);
            QCOMPARE(frame.word.isNull(), isNull);
            QCOMPARE(frame.consumed, consumed);
        }
    }

    // Every way of cutting a stream of words into arrivals yields the same
    // words in the same order, each once.
    void anySplitYieldsTheSameWords_data()
    {
        QTest::addColumn<int>("chunk");
        for (int chunk : {1, 2, 3, 5, 7, 13, 64})
            QTest::addRow("chunks of %d", chunk) << chunk;
    }
    void anySplitYieldsTheSameWords()
    {
        QFETCH(int, chunk);
        const QStringList sent = {QStringLiteral("start"), QStringLiteral("stop"), QString(),
                                  QStringLiteral("mute"),  QString(QLatin1String("")), QStringLiteral("startother"),
                                  QStringLiteral("wnd"),   QStringLiteral("shutdown")};
        QByteArray stream;
        for (const QString &word : sent)
            stream += framing::encodeFrame(word);
        QList<int> cuts;
        for (int at = chunk; at < stream.size(); at += chunk)
            cuts.append(at);
        bool bad = false;
        const QStringList got = readInChunks(stream, cuts, &bad);
        QVERIFY(!bad);
        QCOMPARE(got, sent);
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(got.at(i).isNull(), sent.at(i).isNull());
    }
};

QTEST_APPLESS_MAIN(TestCommandFraming)
#include "tst_command_framing.moc"
