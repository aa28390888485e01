// Where the helper's log lines go.
#pragma once

// From now on every log line of the program goes to its standard error,
// which it inherits from the voice client, without ever waiting on it.
void installHelperLog();
