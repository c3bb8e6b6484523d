#include "os/environment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool makeFolders(const std::string &path, unsigned mode, std::string *error)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat st;
        if (!(stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            && mkdir(part.c_str(), mode_t(mode)) != 0 && errno != EEXIST) {
            *error = part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}
