// Files that hold a secret of the user.
#pragma once

class QString;

namespace platform {

// Makes the file at `path` readable and writable by the user alone. On
// Windows the file lives in the user's profile, which is the user's
// already: nothing to do. False when it could not be done.
bool makeUserOnly(const QString &path);

}  // namespace platform
