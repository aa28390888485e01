// What the stand-in Remote Apps server is told on its command line.
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace remoteapps {

// The voice client's Remote Apps port unless the user changed it.
constexpr quint16 kDefaultPort = 5899;

// What the user does with the question an empty-key "auth" puts.
enum class AuthAnswer {
    Allow,   // status 0, a new key and the snapshot
    Deny,    // the socket closes, no answer
    Refuse,  // an answer with status code 1
    Silent,  // never decides: no answer, the socket stays open
    Quit,    // the client quits before the user decided: nothing listens; once back, it allows
};

// How a key the server does not know is turned away.
enum class KeyRefusal { Status, Close };

struct ServerOptions {
    quint16 port = kDefaultPort;
    AuthAnswer answer = AuthAnswer::Allow;
    int answerDelayMs = 0;  // the user's time to decide
    QString key;            // known from the start, and the one given on Allow; empty: a new UUID
    KeyRefusal keyRefusal = KeyRefusal::Status;
    bool rotateKey = false;  // a known key is answered with a new one
    int backAfterMs = -1;    // after --auth quit: listen again this much later; -1 never
    int clients = 2;
    bool stringIds = false;
    bool reversePairs = false;
    bool unknownEvents = false;
    QStringList scripts;  // built-in names or files, played one after the other
    int talkEveryMs = 0;  // your talk on and off at this interval; 0: only on SIGUSR1
    QString stampsPath;   // a send stamp for each of those talk events
};

enum class ParseResult { Ok, Help, Error };

ParseResult parseServerOptions(QCommandLineParser *parser, const QStringList &arguments, ServerOptions *options,
                               QString *error);

}  // namespace remoteapps
