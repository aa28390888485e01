#include "user_only_file.h"

namespace platform {

bool makeUserOnly(const QString &)
{
    return true;
}

}  // namespace platform
