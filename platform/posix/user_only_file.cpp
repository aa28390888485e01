#include "user_only_file.h"

#include <QFile>

#include <sys/stat.h>

namespace platform {

bool makeUserOnly(const QString &path)
{
    return ::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR) == 0;
}

}  // namespace platform
