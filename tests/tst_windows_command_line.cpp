#include "windows_command_line.h"

#include <QtTest>

class TestWindowsCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // Each quoted form is what the Windows rules (the C runtime's and
    // CommandLineToArgvW's) split back into exactly the argument.
    void quotedArgumentComesBackWhole_data()
    {
        // clang-format off
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("blanks and trailing backslash")
            << "C:\\Users\\Jo Ann\\AppData\\Roaming\\TS3Client\\" << "\"C:\\Users\\Jo Ann\\AppData\\Roaming\\TS3Client\\\\\"";
        QTest::newRow("non-ASCII") << QString::fromUtf8("C:\\Users\\J\xC3\xBCrgen \xE6\x9D\x8E\\config\\")
                                   << QString::fromUtf8("\"C:\\Users\\J\xC3\xBCrgen \xE6\x9D\x8E\\config\\\\\"");
        QTest::newRow("backslashes inside stay single") << "\\\\server\\share dir" << "\"\\\\server\\share dir\"";
        QTest::newRow("embedded quote") << "a\"b" << "\"a\\\"b\"";
        QTest::newRow("backslash before an embedded quote") << "a\\\"b" << "\"a\\\\\\\"b\"";
        QTest::newRow("empty") << "" << "\"\"";
        QTest::newRow("tab") << "a\tb" << "\"a\tb\"";
        // clang-format on
    }
    void quotedArgumentComesBackWhole()
    {
        QFETCH(QString, argument);
        QFETCH(QString, quoted);
        QCOMPARE(QString::fromStdWString(platform::quoteWindowsArgument(argument.toStdWString())), quoted);
    }
};

QTEST_APPLESS_MAIN(TestWindowsCommandLine)
#include "tst_windows_command_line.moc"
