#include "server_options.h"

#include <QCommandLineParser>
#include <QMap>

namespace remoteapps {

namespace {

bool numberIn(const QString &text, int min, int max, int *value)
{
    bool number = false;
    *value = text.toInt(&number);
    return number && *value >= min && *value <= max;
}

}  // namespace

ParseResult parseServerOptions(QCommandLineParser *parser, const QStringList &arguments, ServerOptions *options,
                               QString *error)
{
    parser->setApplicationDescription(QStringLiteral(
        "A stand-in for the voice client's Remote Apps server (plain ws:// on 127.0.0.1). It answers the app's\n"
        "\"auth\" as --auth says, then plays --script on the first connection allowed. Every message the app\n"
        "sends is logged as a line with its key masked, and every \"auth\" as \"<ms> auth <n> key=empty|known|"
        "unknown\".\n"
        "Script lines: sleep MS | echo TEXT | connection N | talk CLIENT STATUS [whisper] | self FLAG VALUE |\n"
        "props CLIENT [KEY=VALUE...] | move CLIENT FROM TO [TYPE] | status N | poke CLIENT | message CLIENT TEXT |\n"
        "text MODE CLIENT TEXT | log TEXT | groupinfo | send JSON | quit [SECONDS]. CLIENT is a number or \"own\"\n"
        "(1; the other user is 7; your channel 5). A line starting with \"&\" goes out with the event before it.\n"
        "Built-in scripts: conversation, conversation-muted-talk. SIGUSR1 sends your talk, on and off in turn."));
    const QCommandLineOption help = parser->addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The port; 0 takes any free one."),
                                  QStringLiteral("N"), QString::number(kDefaultPort));
    const QCommandLineOption auth(
        QStringLiteral("auth"),
        QStringLiteral("The user's answer to an app without a key: allow, deny (close), refuse "
                       "(status 1), silent (never) or quit (the client quits, and allows once back)."),
        QStringLiteral("answer"), QStringLiteral("allow"));
    const QCommandLineOption delay(QStringLiteral("answer-delay"), QStringLiteral("The user's time to answer."),
                                   QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption key(QStringLiteral("key"),
                                 QStringLiteral("A key allowed at once (and the one an allowed app gets); another key "
                                                "is refused."),
                                 QStringLiteral("K"));
    const QCommandLineOption refuseBy(QStringLiteral("refuse-key-by"),
                                      QStringLiteral("An unknown key gets: status (status 1) or close."),
                                      QStringLiteral("how"), QStringLiteral("status"));
    const QCommandLineOption rotate(QStringLiteral("rotate-key"), QStringLiteral("A known key gets a new key back."));
    const QCommandLineOption backAfter(QStringLiteral("back-after"),
                                       QStringLiteral("After --auth quit, listen again this much later."),
                                       QStringLiteral("SECONDS"));
    const QCommandLineOption clients(QStringLiteral("clients"),
                                     QStringLiteral("Clients in the first answer (2: you and the other user)."),
                                     QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption stringIds(QStringLiteral("string-ids"), QStringLiteral("Every id as a JSON string."));
    const QCommandLineOption reverse(QStringLiteral("reverse-pairs"),
                                     QStringLiteral("Sends each \"&\" pair of the script the other way round."));
    const QCommandLineOption unknown(QStringLiteral("unknown-events"),
                                     QStringLiteral("A log and a groupInfo event before each step's events."));
    const QCommandLineOption script(QStringLiteral("script"),
                                    QStringLiteral("What is played once the app is allowed: a built-in name or a file; "
                                                   "given more than once, one after the other."),
                                    QStringLiteral("name|file"));
    const QCommandLineOption talkEvery(QStringLiteral("talk-every"),
                                       QStringLiteral("Sends your talk, on and off in turn, at this interval."),
                                       QStringLiteral("MS"));
    const QCommandLineOption stamps(QStringLiteral("stamps"),
                                    QStringLiteral("Writes a send stamp per talk event of SIGUSR1 or --talk-every."),
                                    QStringLiteral("path"));
    parser->addOptions({port, auth, delay, key, refuseBy, rotate, backAfter, clients, stringIds, reverse, unknown,
                        script, talkEvery, stamps});
    if (!parser->parse(arguments)) {
        *error = parser->errorText();
        return ParseResult::Error;
    }
    if (parser->isSet(help))
        return ParseResult::Help;

    int value = 0;
    if (!numberIn(parser->value(port), 0, 65535, &value)) {
        *error = QStringLiteral("--port takes 0 to 65535");
        return ParseResult::Error;
    }
    options->port = quint16(value);
    static const QMap<QString, AuthAnswer> answers{{QStringLiteral("allow"), AuthAnswer::Allow},
                                                   {QStringLiteral("deny"), AuthAnswer::Deny},
                                                   {QStringLiteral("refuse"), AuthAnswer::Refuse},
                                                   {QStringLiteral("silent"), AuthAnswer::Silent},
                                                   {QStringLiteral("quit"), AuthAnswer::Quit}};
    if (!answers.contains(parser->value(auth))) {
        *error = QStringLiteral("--auth takes allow, deny, refuse, silent or quit");
        return ParseResult::Error;
    }
    options->answer = answers.value(parser->value(auth));
    if (!numberIn(parser->value(delay), 0, 3600000, &options->answerDelayMs)) {
        *error = QStringLiteral("--answer-delay takes 0 to 3600000 ms");
        return ParseResult::Error;
    }
    options->key = parser->value(key);
    if (parser->isSet(key) && options->key.isEmpty()) {
        *error = QStringLiteral("--key takes a key that is not empty");
        return ParseResult::Error;
    }
    if (parser->value(refuseBy) != QLatin1String("status") && parser->value(refuseBy) != QLatin1String("close")) {
        *error = QStringLiteral("--refuse-key-by takes status or close");
        return ParseResult::Error;
    }
    options->keyRefusal = parser->value(refuseBy) == QLatin1String("close") ? KeyRefusal::Close : KeyRefusal::Status;
    options->rotateKey = parser->isSet(rotate);
    if (parser->isSet(backAfter)) {
        if (!numberIn(parser->value(backAfter), 0, 3600, &value)) {
            *error = QStringLiteral("--back-after takes 0 to 3600 seconds");
            return ParseResult::Error;
        }
        options->backAfterMs = value * 1000;
    }
    if (!numberIn(parser->value(clients), 1, 200000, &options->clients)) {
        *error = QStringLiteral("--clients takes 1 to 200000");
        return ParseResult::Error;
    }
    options->stringIds = parser->isSet(stringIds);
    options->reversePairs = parser->isSet(reverse);
    options->unknownEvents = parser->isSet(unknown);
    options->scripts = parser->values(script);
    if (parser->isSet(talkEvery) && !numberIn(parser->value(talkEvery), 1, 3600000, &options->talkEveryMs)) {
        *error = QStringLiteral("--talk-every takes 1 to 3600000 ms");
        return ParseResult::Error;
    }
    options->stampsPath = parser->value(stamps);
    return ParseResult::Ok;
}

}  // namespace remoteapps
