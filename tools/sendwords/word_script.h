// A scripted client of the helper's command server, for demos and tests.
#pragma once

#include <QString>
#include <QStringList>

namespace sendwords {

enum class WriteMode {
    PerWord,   // one write per word, flushed, as the plugin writes
    OneWrite,  // every word in a single write
    Bytewise,  // one byte per write
};

struct Step {
    QString word;  // sent when sleepMs is 0
    int sleepMs = 0;
};

// One step per line: a command word, or "sleep <ms>". Blank lines and lines
// starting with '#' are skipped.
QList<Step> parseScript(const QString &text, QString *error);

struct Options {
    QString serverName;
    WriteMode mode = WriteMode::PerWord;
    bool echo = false;  // print each word as it is sent
};

// Connects and plays the steps. Returns a process exit status.
int play(const QList<Step> &steps, const Options &options);

}  // namespace sendwords
