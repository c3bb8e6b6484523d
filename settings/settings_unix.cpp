// The key is a folder, each value a 12-byte file in it (see valueformat.h).
//
// A set overwrites an existing record in place with one pwrite: no new inode,
// no truncation, so a process killed at any instant leaves the old record or
// the new one, and a mouse move costs a few microseconds instead of the
// 100+ of a rename. Only a value that is absent or not a record is replaced,
// by a temporary file renamed over it. Every operation holds a flock on the
// key folder, shared to read and exclusive to write, so a reader that takes
// the shared lock never sees half a pair.
#include "settings/settings.h"
#include "settings/keyfolder.h"
#include "settings/valueformat.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Names beginning with '.' are temporaries, never values.
bool isValueName(const char *name)
{
    return name && name[0] != '\0' && name[0] != '.' && !std::strchr(name, '/')
        && std::strlen(name) <= 200;
}

// A peer that sits on the lock must not freeze the picker: after about a
// tenth of a second the operation goes ahead without it.
void lockKey(int fd, int operation)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (flock(fd, operation | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR))
            return;
        usleep(100);
    }
}

// The open key folder, locked for as long as it is open.
class Key
{
public:
    explicit Key(int lockOperation)
    {
        const std::string path = keyFolderPath();
        if (path.empty())
            return;
        fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0)
            lockKey(fd, lockOperation);
    }
    ~Key()
    {
        if (fd >= 0)
            close(fd); // drops the flock too
    }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;

    bool isOpen() const { return fd >= 0; }
    int descriptor() const { return fd; }

private:
    int fd = -1;
};

bool getValue(int keyFd, const char *name, int32_t *value)
{
    if (!isValueName(name))
        return false;
    // O_NONBLOCK: a FIFO put in a value's place must not hang the reader.
    const int fd = openat(keyFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    char buffer[maxValueFileSize + 1];
    ssize_t length = -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= off_t(maxValueFileSize))
        length = pread(fd, buffer, sizeof buffer, 0);
    close(fd);
    return length >= 0 && parseValue(buffer, std::size_t(length), value);
}

bool replaceValue(int keyFd, const char *name, const char (&record)[valueRecordSize])
{
    static unsigned counter = 0;
    char temporary[256];
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::snprintf(temporary, sizeof temporary, ".%s.%ld.%u", name, long(getpid()), counter++);
        fd = openat(keyFd, temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = write(fd, record, valueRecordSize) == ssize_t(valueRecordSize);
    ok = close(fd) == 0 && ok;
    // rename replaces a link or a FIFO itself, never what it points to, and
    // fails on a folder.
    ok = ok && renameat(keyFd, temporary, keyFd, name) == 0;
    if (!ok)
        unlinkat(keyFd, temporary, 0);
    return ok;
}

bool setValue(int keyFd, const char *name, int32_t value)
{
    if (!isValueName(name))
        return false;
    char record[valueRecordSize];
    formatValue(value, record);

    const int fd = openat(keyFd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        // A hard-linked file would carry the write to another name.
        const bool isRecord = fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
            && st.st_size == off_t(valueRecordSize) && st.st_nlink == 1;
        const bool written = isRecord && pwrite(fd, record, valueRecordSize, 0) == ssize_t(valueRecordSize);
        close(fd);
        if (written)
            return true;
    }
    return replaceValue(keyFd, name, record);
}

} // namespace

std::string keyFolderPath()
{
    // A relative or empty XDG_CONFIG_HOME counts as unset.
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd *pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (!home || home[0] != '/')
            return std::string();
        base = std::string(home) + "/.config";
    }
    return base + "/screen-capture-rvk";
}

int readSetting(const char *name, int32_t *value, int32_t defaultValue)
{
    *value = defaultValue;
    const Key key(LOCK_SH);
    if (!key.isOpen())
        return -1;
    return getValue(key.descriptor(), name, value) ? 0 : -1;
}

int readSettingPair(const char *firstName, int32_t *firstValue,
                    const char *secondName, int32_t *secondValue)
{
    // Pair writes hold the exclusive lock for both sets.
    const Key key(LOCK_SH);
    if (!key.isOpen())
        return -1;
    int32_t first = 0;
    int32_t second = 0;
    if (!getValue(key.descriptor(), firstName, &first)
        || !getValue(key.descriptor(), secondName, &second))
        return -1;
    *firstValue = first;
    *secondValue = second;
    return 0;
}

int writeSetting(const char *name, int32_t value)
{
    const Key key(LOCK_EX);
    if (!key.isOpen())
        return -1;
    return setValue(key.descriptor(), name, value) ? 0 : -1;
}

int writeSettingPair(const char *firstName, int32_t firstValue,
                     const char *secondName, int32_t secondValue)
{
    const Key key(LOCK_EX);
    if (!key.isOpen())
        return -1;
    const bool first = setValue(key.descriptor(), firstName, firstValue);
    const bool second = setValue(key.descriptor(), secondName, secondValue);
    return first && second ? 0 : -1;
}
