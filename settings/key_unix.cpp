// The key folder as the store finds it:
// ${XDG_CONFIG_HOME:-$HOME/.config}/screen-capture-rvk/.
#include "settings/key.h"
#include "settings/keyfolder.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isFolder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One step of mkdir -p. The explicit chmod makes the mode 0700 whatever the
// umask.
bool makeFolder(const std::string &path, bool *created, std::string *error)
{
    *created = false;
    if (isFolder(path))
        return true;
    if (mkdir(path.c_str(), 0700) == 0) {
        *created = true;
        chmod(path.c_str(), 0700);
        return true;
    }
    // Someone else may have made it in the meantime.
    if (errno == EEXIST && isFolder(path))
        return true;
    *error = path + ": " + (errno == EEXIST ? "exists and is not a folder" : std::strerror(errno));
    return false;
}

} // namespace

std::string keyLocation()
{
    return keyFolderPath();
}

bool keyExists()
{
    // The store opens the key following a link, so a linked folder counts.
    const std::string path = keyLocation();
    return !path.empty() && isFolder(path);
}

KeyCreation createKey(std::string *error)
{
    const std::string path = keyLocation();
    if (path.empty()) {
        *error = "neither XDG_CONFIG_HOME nor HOME names an absolute folder";
        return KeyCreation::Failed;
    }
    bool created = false;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (!makeFolder(path.substr(0, slash), &created, error))
            return KeyCreation::Failed;
    }
    if (!makeFolder(path, &created, error))
        return KeyCreation::Failed;
    return created ? KeyCreation::Created : KeyCreation::Existed;
}

bool valueExists(const char *name)
{
    // Anything by that name, a link included: the store reads it as another type.
    struct stat st;
    return lstat((keyLocation() + '/' + name).c_str(), &st) == 0;
}

int64_t valueWrittenAgo(const char *name)
{
    struct stat st;
    timespec wall;
    if (stat((keyLocation() + '/' + name).c_str(), &st) != 0
        || clock_gettime(CLOCK_REALTIME, &wall) != 0)
        return -1;
    const int64_t ago = (int64_t(wall.tv_sec) - st.st_mtim.tv_sec) * 1000000000
        + (wall.tv_nsec - st.st_mtim.tv_nsec);
    return ago >= 0 ? ago : -1;
}
