// The helper's log file: bounded by its rollover, shared by two helpers,
// and never in the way when it cannot be written.
#include "log_file.h"
#include "names.h"
#include "test_support.h"

#include <QDir>
#include <QtTest>

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kLineBytes = 1000;
// Lines that fit in the limit; one more rolls over.
constexpr int kLinesPerFile = int(protocol::kLogFileLimitBytes / kLineBytes);

// Line `n`, kLineBytes long with its break.
QByteArray numberedLine(int n)
{
    QByteArray line = QByteArray::number(n).rightJustified(6, '0') + ' ';
    return line.leftJustified(kLineBytes - 1, '.') + '\n';
}
QByteArray numbered(int from, int to)
{
    QByteArray lines;
    for (int n = from; n < to; ++n)
        lines += numberedLine(n);
    return lines;
}

std::string native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

class TestLogFile : public QObject
{
    Q_OBJECT

private slots:
    // `lines` numbered lines written in turn by `writers` files on one
    // path: what the log and the older log hold then (no older log when
    // `older` is null).
    void rollsOverPastTheLimit_data()
    {
        // clang-format off
        columns<QByteArray, int, int, QByteArray, QByteArray>({"before", "writers", "lines", "older", "current"});
        QTest::newRow("up to the limit") << QByteArray() << 1 << kLinesPerFile << QByteArray()
                                         << numbered(0, kLinesPerFile);
        QTest::newRow("one line more rolls over") << QByteArray() << 1 << kLinesPerFile + 1
                                                  << numbered(0, kLinesPerFile)
                                                  << numbered(kLinesPerFile, kLinesPerFile + 1);
        QTest::newRow("a second rollover replaces the older log")
            << QByteArray() << 1 << 2 * kLinesPerFile + 1 << numbered(kLinesPerFile, 2 * kLinesPerFile)
            << numbered(2 * kLinesPerFile, 2 * kLinesPerFile + 1);
        const QByteArray oversized = QByteArray(int(protocol::kLogFileLimitBytes), 'x') + '\n';
        QTest::newRow("a log over the limit at start rolls first") << oversized << 1 << 2 << oversized
                                                                   << numbered(0, 2);
        QTest::newRow("the end of an earlier log counts") << numbered(0, 10) << 1 << kLinesPerFile - 9
                                                          << numbered(0, 10) + numbered(0, kLinesPerFile - 10)
                                                          << numbered(kLinesPerFile - 10, kLinesPerFile - 9);
        QTest::newRow("two helpers appending") << QByteArray() << 2 << kLinesPerFile << QByteArray()
                                               << numbered(0, kLinesPerFile);
        // clang-format on
    }
    void rollsOverPastTheLimit()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, writers);
        QFETCH(int, lines);
        QFETCH(QByteArray, older);
        QTemporaryDir parent;
        const QString folder = parent.filePath(QString::fromUtf8("J\xC3\xBCrgen \xE6\x9D\x8E"));  // wide on Windows
        const QString path = folder + QLatin1Char('/') + QLatin1String(protocol::kLogFileName);
        QVERIFY(QDir().mkpath(folder));
        const QString olderPath = path + QLatin1String(protocol::kOlderLogSuffix);
        if (!before.isEmpty())
            writeFile(path, before);
        std::vector<std::unique_ptr<platform::LogFile>> files;
        for (int i = 0; i < writers; ++i)
            files.push_back(
                std::make_unique<platform::LogFile>(native(path), native(olderPath), protocol::kLogFileLimitBytes));
        for (int n = 0; n < lines; ++n)
            QVERIFY(files[std::size_t(n % writers)]->append(numberedLine(n).toStdString()));
        QTEST(readFile(path), "current");
        QCOMPARE(QFile::exists(olderPath), !older.isNull());
        QCOMPARE(readFile(olderPath), older);
    }

    // What keeps the log from being written: the helper goes on, and the
    // log is tried again once the pause after a failure is over.
    void aLogThatCannotBeWrittenIsTriedAgainLater_data()
    {
        // clang-format off
        columns<QString, int, bool>({"obstacle", "retryAfterMs", "writtenAfter"});
        QTest::newRow("its name a folder, tried again") << "folder" << 0 << true;
        QTest::newRow("its folder a file, tried again") << "file" << 0 << true;
        QTest::newRow("its name a folder, within the pause") << "folder" << 3600 * 1000 << false;
        // clang-format on
    }
    void aLogThatCannotBeWrittenIsTriedAgainLater()
    {
        QFETCH(QString, obstacle);
        QFETCH(int, retryAfterMs);
        QFETCH(bool, writtenAfter);
        QTemporaryDir parent;
        const QString folder = parent.filePath(QStringLiteral("settings"));
        const QString path = folder + QLatin1Char('/') + QLatin1String(protocol::kLogFileName);
        if (obstacle == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else
            writeFile(folder, "not a folder");
        platform::LogFile log(native(path), native(path + QLatin1String(protocol::kOlderLogSuffix)),
                              protocol::kLogFileLimitBytes, std::chrono::milliseconds(retryAfterMs));
        QVERIFY(!log.append("first\n"));

        QVERIFY(obstacle == QLatin1String("folder") ? QDir(path).removeRecursively()
                                                    : QFile::remove(folder) && QDir().mkpath(folder));
        QCOMPARE(log.append("second\n"), writtenAfter);
        QCOMPARE(readFile(path), writtenAfter ? QByteArray("second\n") : QByteArray());
    }
};

QTEST_APPLESS_MAIN(TestLogFile)
#include "tst_log_file.moc"
