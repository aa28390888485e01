// The command framing: what Qt's QDataStream writes, and where one frame
// ends. (The stream cut anywhere is replayed from tests/fuzz/corpus/command.)
#include "command_frame.h"
#include "test_support.h"

#include <QDataStream>
#include <QtTest>

using protocol::FrameStatus;

Q_DECLARE_METATYPE(FrameStatus)

namespace {

QByteArray encodeFrame(const QString &word)
{
    std::string bytes;
    if (word.isNull())
        protocol::appendNullFrame(&bytes);
    else
        protocol::appendFrame(&bytes, word.toStdU16String());
    return QByteArray::fromStdString(bytes);
}

}  // namespace

class TestCommandFraming : public QObject
{
    Q_OBJECT

private slots:
    // What the helper's Qt reads as one QString from a version 7 stream.
    void encodesWhatQDataStreamWrites_data()
    {
        // clang-format off
        QTest::addColumn<QString>("word");
        QTest::newRow("start") << QStringLiteral("start");
        QTest::newRow("empty") << QString(QLatin1String(""));
        QTest::newRow("null") << QString();
        QTest::newRow("non-latin") << QString::fromUtf8("f\xC3\xA4rg \xE2\x82\xAC \xF0\x9F\x92\xA1");
        // clang-format on
    }
    void encodesWhatQDataStreamWrites()
    {
        QFETCH(QString, word);
        QByteArray streamed;
        QDataStream stream(&streamed, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_4_0);
        stream << word;
        QCOMPARE(encodeFrame(word), streamed);
    }

    void parsesOneFrame_data()
    {
        // clang-format off
        columns<QByteArray, FrameStatus, QString, int>({"input", "status", "word", "consumed"});
        const QByteArray stop = encodeFrame(QStringLiteral("stop"));
        QTest::newRow("nothing") << QByteArray() << FrameStatus::NeedMore << QString() << 0;
        QTest::newRow("half a header") << stop.left(3) << FrameStatus::NeedMore << QString() << 0;
        QTest::newRow("header only") << stop.left(4) << FrameStatus::NeedMore << QString() << 0;
        QTest::newRow("one byte short") << stop.left(11) << FrameStatus::NeedMore << QString() << 0;
        QTest::newRow("whole") << stop << FrameStatus::Complete << QStringLiteral("stop") << 12;
        QTest::newRow("whole plus next") << stop + stop.left(5) << FrameStatus::Complete << QStringLiteral("stop") << 12;
        QTest::newRow("null string") << QByteArray::fromHex("ffffffff") << FrameStatus::Complete << QString() << 4;
        QTest::newRow("empty string") << QByteArray::fromHex("00000000") << FrameStatus::Complete << QString("") << 4;
        QTest::newRow("odd length") << QByteArray::fromHex("00000003006100") << FrameStatus::BadLength << QString() << 0;
        QTest::newRow("largest allowed, incomplete") << QByteArray::fromHex("00000400") << FrameStatus::NeedMore << QString() << 0;
        QTest::newRow("just over the cap") << QByteArray::fromHex("00000402") << FrameStatus::TooLong << QString() << 0;
        QTest::newRow("huge") << QByteArray::fromHex("7ffffffe") << FrameStatus::TooLong << QString() << 0;
        QTest::newRow("0xFFFFFFFE") << QByteArray::fromHex("fffffffe") << FrameStatus::TooLong << QString() << 0;
        // clang-format on
    }
    void parsesOneFrame()
    {
        QFETCH(QByteArray, input);
        QFETCH(FrameStatus, status);
        QFETCH(QString, word);
        const protocol::Frame frame = protocol::parseFrame(input.constData(), std::size_t(input.size()));
        QCOMPARE(frame.status, status);
        if (status == FrameStatus::Complete) {
            QCOMPARE(frame.null, word.isNull());
            QCOMPARE(QString::fromStdU16String(frame.text), word);
            QTEST(int(frame.consumed), "consumed");
        }
    }
};

QTEST_APPLESS_MAIN(TestCommandFraming)
#include "tst_command_framing.moc"
