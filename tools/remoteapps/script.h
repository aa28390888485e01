// The conversations the stand-in Remote Apps server plays once the app is
// allowed: a small line format read by a pure function, and the ones it
// carries built in.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace remoteapps {

struct Step {
    enum class Kind { Sleep, Send, Echo, Quit };
    Kind kind = Kind::Sleep;
    int ms = 0;          // Sleep: how long; Quit: listen again after this long, -1 never
    QByteArray message;  // Send
    QString text;        // Echo
};

struct ScriptSettings {
    int ownClientId = 1;
    int otherClientId = 7;
    bool stringIds = false;
    bool reversePairs = false;   // every "&" pair the other way round
    bool unknownEvents = false;  // a "log" and a "groupInfo" event before each step's events
};

// One step a line; blank lines and lines starting with '#' are skipped.
//   sleep MS                       wait
//   echo TEXT                      print TEXT (narration)
//   connection N                   the events after it are of server connection N (1 at first)
//   talk CLIENT STATUS [whisper]   talkStatusChanged (0 silent, 1 talking, 2 talking muted)
//   self FLAG VALUE                clientSelfPropertyUpdated, the old value what the script last gave
//   props CLIENT [KEY=VALUE...]    clientPropertiesUpdated: the client's whole set, these changed
//   move CLIENT FROM TO [TYPE]     clientMoved between channels (0: out of view; yours is 5); type 1 by
//                                  itself (default), 2 moved by the other user, 0 subscription
//   status N                       connectStatusChanged (0 disconnected ... 4 established)
//   poke CLIENT                    textMessage, target mode 4, empty
//   message CLIENT TEXT            textMessage, target mode 1 (private), to you
//   text MODE CLIENT TEXT          textMessage of any target mode
//   log TEXT | groupinfo           events an app has no use for
//   send JSON                      any JSON object, as it stands
//   quit [SECONDS]                 the client quits: every socket closed, nothing listens; with SECONDS
//                                  it listens again on the same port after that long
// CLIENT is a number or "own" (you). VALUE and KEY=VALUE take true, false,
// a number or a word. A line starting with "&" goes out together with the
// event line before it, as TeamSpeak sends some pairs at the same instant.
std::optional<QList<Step>> parseScript(const QString &text, const ScriptSettings &settings, QString *error);

// A built-in script by name, or nothing:
//   conversation             the other user talks and stops, you mute the microphone, go away, disconnect
//   conversation-muted-talk  the same with your talk while muted (status 2) after the mute
QString builtInScript(const QString &name);

}  // namespace remoteapps
