// Where the helper's log lines go.
#pragma once

class QString;

// From now on every log line of the program goes to its standard error,
// which it inherits from the voice client, without ever waiting on it.
void installHelperLog();

// From now on the lines go as well into the log file in `folder`, beside
// the settings file (none when `folder` is empty), where a user finds them.
void logIntoFolder(const QString &folder);
