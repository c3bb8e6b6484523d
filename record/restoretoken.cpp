#include "record/restoretoken.h"
#include "os/environment.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

std::string restoreTokenFile(const std::string &stateHome, const std::string &home)
{
    if (!stateHome.empty() && stateHome[0] == '/')
        return stateHome + "/zorvi/screencast-token";
    if (!home.empty() && home[0] == '/')
        return home + "/.local/state/zorvi/screencast-token";
    return {};
}

std::string readRestoreToken(const std::string &file)
{
    std::ifstream in(file);
    std::string token;
    std::getline(in, token);
    return token;
}

// The file is the user's alone (0600; folders it makes, 0700): whoever reads
// the token can share the screen without asking.
bool keepRestoreToken(const std::string &file, const std::string &token, std::string *error)
{
    const std::string folder = file.substr(0, file.rfind('/'));
    if (!makeFolders(folder, 0700, error))
        return false;
    // Made anew, so that a leftover of a killed record lends it no mode.
    const std::string temporary = folder + "/.screencast-token." + std::to_string(getpid());
    unlink(temporary.c_str());
    const int fd
        = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const std::string text = token + '\n';
    const bool written = fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size());
    const int saved = errno;
    if (fd >= 0)
        ::close(fd);
    if (!written || rename(temporary.c_str(), file.c_str()) != 0) {
        *error = file + ": " + std::strerror(written ? errno : saved);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
