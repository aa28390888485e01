#include "windows_command_line.h"

#include <QtTest>

namespace {

// Splits a command line by the rules Windows programs use
// (CommandLineToArgvW / the C runtime), for arguments after the program.
QStringList splitWindowsCommandLine(const std::wstring &line)
{
    QStringList arguments;
    std::wstring current;
    bool inQuotes = false, any = false;
    for (size_t i = 0; i < line.size();) {
        const wchar_t c = line[i];
        if (c == L'\\') {
            size_t count = 0;
            while (i < line.size() && line[i] == L'\\')
                ++count, ++i;
            if (i < line.size() && line[i] == L'"') {
                current.append(count / 2, L'\\');
                if (count % 2) {
                    current.push_back(L'"');
                    ++i;
                }
            } else {
                current.append(count, L'\\');
            }
            any = true;
            continue;
        }
        if (c == L'"') {
            inQuotes = !inQuotes;
            any = true;
        } else if ((c == L' ' || c == L'\t') && !inQuotes) {
            if (any)
                arguments << QString::fromStdWString(current);
            current.clear();
            any = false;
        } else {
            current.push_back(c);
            any = true;
        }
        ++i;
    }
    if (any)
        arguments << QString::fromStdWString(current);
    return arguments;
}

}  // namespace

class TestWindowsCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void quotedArgumentComesBackWhole_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "C:\\cfg\\" << "\"C:\\cfg\\\\\"";
        QTest::newRow("blanks and trailing backslash")
            << "C:\\Users\\Jo Ann\\AppData\\Roaming\\TS3Client\\" << "\"C:\\Users\\Jo Ann\\AppData\\Roaming\\TS3Client\\\\\"";
        QTest::newRow("non-ASCII") << QString::fromUtf8("C:\\Users\\J\xC3\xBCrgen \xE6\x9D\x8E\\config\\")
                                   << QString::fromUtf8("\"C:\\Users\\J\xC3\xBCrgen \xE6\x9D\x8E\\config\\\\\"");
        QTest::newRow("backslashes inside stay single") << "\\\\server\\share dir" << "\"\\\\server\\share dir\"";
        QTest::newRow("embedded quote") << "a\"b" << "\"a\\\"b\"";
        QTest::newRow("backslash before an embedded quote") << "a\\\"b" << "\"a\\\\\\\"b\"";
        QTest::newRow("empty") << "" << "\"\"";
        QTest::newRow("tab") << "a\tb" << "\"a\tb\"";
    }
    void quotedArgumentComesBackWhole()
    {
        QFETCH(QString, argument);
        QFETCH(QString, quoted);
        const std::wstring result = platform::quoteWindowsArgument(argument.toStdWString());
        QCOMPARE(QString::fromStdWString(result), quoted);
        QCOMPARE(splitWindowsCommandLine(result), QStringList{argument});
    }
};

QTEST_APPLESS_MAIN(TestWindowsCommandLine)
#include "tst_windows_command_line.moc"
