// sendwords: writes command words to the helper's command server.
//   sendwords [--one-write|--bytewise] [--echo] [--server NAME] [--script FILE|-] [word...]
#include "command_server_name.h"
#include "word_script.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes command words to the helper's command server."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("server"), QStringLiteral("Server name (default: the helper's)."), QStringLiteral("name")},
        {QStringLiteral("script"),
         QStringLiteral("Read words and 'sleep <ms>' lines from a file, or - for standard input."),
         QStringLiteral("file")},
        {QStringLiteral("one-write"), QStringLiteral("Send all words in one write.")},
        {QStringLiteral("bytewise"), QStringLiteral("Send one byte per write.")},
        {QStringLiteral("echo"), QStringLiteral("Print each word as it is sent.")},
    });
    parser.addPositionalArgument(QStringLiteral("word"), QStringLiteral("Command words to send."),
                                 QStringLiteral("[word...]"));
    parser.process(app);

    QString text = parser.positionalArguments().join(QLatin1Char('\n'));
    if (parser.isSet(QStringLiteral("script"))) {
        QFile file;
        const QString path = parser.value(QStringLiteral("script"));
        const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : (file.setFileName(path), file.open(QIODevice::ReadOnly));
        if (!opened) {
            std::fprintf(stderr, "sendwords: cannot read %s\n", qPrintable(path));
            return 2;
        }
        text += QLatin1Char('\n') + QString::fromUtf8(file.readAll());
    }
    QString error;
    const QList<sendwords::Step> steps = sendwords::parseScript(text, &error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "sendwords: %s\n", qPrintable(error));
        return 2;
    }
    sendwords::Options options;
    options.serverName = parser.isSet(QStringLiteral("server")) ? parser.value(QStringLiteral("server"))
                                                                : QString::fromStdString(platform::commandServerName());
    options.mode = parser.isSet(QStringLiteral("one-write"))  ? sendwords::WriteMode::OneWrite
                   : parser.isSet(QStringLiteral("bytewise")) ? sendwords::WriteMode::Bytewise
                                                              : sendwords::WriteMode::PerWord;
    options.echo = parser.isSet(QStringLiteral("echo"));
    return sendwords::play(steps, options);
}
