// Makes a file or folder read-only for whoever runs the test, root included:
// permissions alone do not stop root, the immutable flag does. Returns false
// when the file system cannot do it.
#ifndef READONLY_H
#define READONLY_H

#include <string>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

inline bool setImmutable(const std::string &path, bool immutable)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        close(fd);
    return ok;
}

inline bool setReadOnly(const std::string &path, bool readOnly)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return false;
    // An immutable file's mode cannot change: the flag goes last on, first off.
    if (!readOnly && geteuid() == 0 && !setImmutable(path, false))
        return false;
    const mode_t mode = S_ISDIR(st.st_mode) ? 0700 : 0600;
    if (chmod(path.c_str(), readOnly ? mode & 0500 : mode) != 0)
        return false;
    return !readOnly || geteuid() != 0 || setImmutable(path, true);
}

#endif // READONLY_H
