#include "os/singleinstance.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// In a shared folder such as /tmp, anyone could have put a link or a file
// of their own at our name: take only a regular file that is ours.
int openLockFile(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool claimSingleInstance()
{
    return claimSessionMarker("SCRM-TAVRO");
}

bool claimSessionMarker(const char *name)
{
    int fd = -1;
    const char *runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && runtimeDir[0] == '/')
        fd = openLockFile(std::string(runtimeDir) + '/' + name + ".lock");
    if (fd < 0)
        fd = openLockFile("/tmp/" + std::string(name) + '-' + std::to_string(geteuid()) + ".lock");
    if (fd < 0)
        return true;

    // The descriptor stays open for the life of the process; the kernel
    // drops the lock with it, also after a crash or a kill.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const bool heldByAnother = errno == EWOULDBLOCK;
    close(fd);
    return !heldByAnother;
}
