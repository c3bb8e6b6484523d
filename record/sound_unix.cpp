#include "record/sound.h"

#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

bool soundServerAnswers(std::string *where)
{
    const char *server = std::getenv("PULSE_SERVER");
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (server && *server) {
        *where = server;
        // Only a local socket can be tried without the sound library; a
        // server elsewhere is taken at its word.
        if (std::strncmp(server, "unix:", 5) != 0)
            return true;
        where->erase(0, 5);
    } else if (runtime && runtime[0] == '/') {
        *where = std::string(runtime) + "/pulse/native";
    } else {
        *where = "XDG_RUNTIME_DIR/pulse/native (XDG_RUNTIME_DIR is not set)";
        return false;
    }
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (where->size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, where->c_str(), where->size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answers = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return answers;
}
