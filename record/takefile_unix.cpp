#include "record/recording.h"
#include "record/takefile.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

bool reserveTakeFile(const std::string &folder, std::string *path, std::string *error)
{
    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    for (int attempt = 1; attempt < 1000; ++attempt) {
        *path = folder + '/' + takeFileName(local, attempt);
        const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        if (errno != EEXIST) {
            *error = *path + ": " + std::strerror(errno);
            return false;
        }
    }
    *error = "no free file name in " + folder;
    return false;
}
