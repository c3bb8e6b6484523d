#include "os/stopsignal.h"
#include "record/encoder.h"
#include "record/recording.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A name of this second that is not taken yet, created empty so that no
// other take can have it.
bool reserveFile(const std::string &folder, std::string *path, std::string *error)
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

bool writeAll(int fd, const uint8_t *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

} // namespace

bool startTake(const Region &area, const std::string &folder, int fps,
               const std::vector<std::string> &before, const std::vector<std::string> &after,
               Take *take, std::string *error)
{
    if (!reserveFile(folder, &take->file, error))
        return false;
    const std::string size = std::to_string(area.width) + 'x' + std::to_string(area.height);
    const std::string rate = std::to_string(fps);
    // A key frame every two seconds: a file cut short (a full disk, a kill)
    // plays up to two seconds before its end, and a player seeks in it.
    const std::string keys = std::to_string(2 * fps);
    // -xerror: without it a full disk still ends in exit status 0.
    // clang-format off
    std::vector<const char *> arguments = {
        "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-xerror" };
    for (const std::string &argument : before)
        arguments.push_back(argument.c_str());
    arguments.insert(arguments.end(), {
        "-f", "rawvideo", "-pix_fmt", "bgr0", "-video_size", size.c_str(),
        "-framerate", rate.c_str(), "-i", "-" });
    for (const std::string &argument : after)
        arguments.push_back(argument.c_str());
    arguments.insert(arguments.end(), {
        "-c:v", "libx264", "-preset", "veryfast", "-crf", "23", "-g", keys.c_str(), "-pix_fmt", "yuv420p",
        "-f", "matroska", "-y", take->file.c_str(), nullptr });
    // clang-format on
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // If record dies, ffmpeg is told to finish the file: a Matroska file
        // then keeps all it was given.
        prctl(PR_SET_PDEATHSIG, SIGINT);
        if (getppid() != parent)
            _exit(1);
        // Its own group: a Ctrl-C in the terminal is record's to handle.
        setpgid(0, 0);
        restoreDefaultSignals();
        dup2(fds[0], 0);
        dup2(2, 1); // record's standard output is for its own lines
        execvp("ffmpeg", const_cast<char *const *>(arguments.data()));
        _exit(127);
    }
    close(fds[0]);
    if (child < 0) {
        close(fds[1]);
        *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    take->encoder = child;
    take->input.reset(fds[1]);
    // Up to 1 MiB, fewer wake-ups a frame than the 64 KiB default, but at
    // most half a frame (the kernel rounds up to a power of two), so that
    // frames can go by reference.
    const std::size_t frame = std::size_t(area.width) * area.height * 4;
    fcntl(fds[1], F_SETPIPE_SZ, int(std::min<std::size_t>(1 << 20, frame / 4)));
    const int pipeSize = fcntl(fds[1], F_GETPIPE_SZ);
    // Unknown, it counts as large: every frame is then copied.
    take->pipeSize = pipeSize > 0 ? std::size_t(pipeSize) : SIZE_MAX / 2;
    return true;
}

std::string finishTake(Take *take, int limitMs)
{
    take->input.reset();
    int status = 0;
    pid_t ended;
    // Looked at every 10 ms: a finish takes a fraction of a second.
    for (int waited = 0;
         (ended = waitpid(take->encoder, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR);
         waited += 10) {
        if (waited >= limitMs) {
            kill(take->encoder, SIGKILL);
            while (waitpid(take->encoder, nullptr, 0) < 0 && errno == EINTR) { }
            char limit[32];
            std::snprintf(limit, sizeof limit, "%g", limitMs / 1000.0);
            return std::string("ffmpeg did not finish the file within ") + limit
                + " s and was stopped";
        }
        const timespec pause = { 0, 10000000 };
        nanosleep(&pause, nullptr);
    }
    if (ended < 0)
        return std::string("cannot tell whether ffmpeg finished the file (") + std::strerror(errno)
            + ")";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return "ffmpeg could not be started";
    if (WIFEXITED(status))
        return "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return std::string("ffmpeg was killed (") + strsignal(WTERMSIG(status)) + ")";
}

bool sendFrame(const Take &take, const uint8_t *data, std::size_t size)
{
    if (size < 2 * take.pipeSize)
        return writeAll(take.input.get(), data, size);
    iovec rest { const_cast<uint8_t *>(data), size };
    while (rest.iov_len > 0) {
        const ssize_t given = vmsplice(take.input.get(), &rest, 1, 0);
        if (given < 0 && errno == EINTR)
            continue;
        if (given <= 0)
            return false;
        rest.iov_base = static_cast<uint8_t *>(rest.iov_base) + given;
        rest.iov_len -= std::size_t(given);
    }
    return true;
}

FfmpegWriter::FfmpegWriter(const std::string &folder, int fps) : folder(folder), fps(fps) { }

bool FfmpegWriter::soundServer(std::string *where)
{
    return soundServerAnswers(where);
}

bool FfmpegWriter::open(int32_t width, int32_t height, Sound sound, double start,
                        std::string *error)
{
    const SoundArguments arguments = soundArguments(sound, start);
    frameBytes = std::size_t(width) * height * 4;
    return startTake({ 0, 0, width, height }, folder, fps, arguments.inputs, arguments.output,
                     &take, error);
}

std::string FfmpegWriter::file() const
{
    return take.file;
}

bool FfmpegWriter::push(const uint8_t *pixels, std::string *error)
{
    if (sendFrame(take, pixels, frameBytes))
        return true;
    // EPIPE mostly: ffmpeg is gone (a full disk, a crash); its own message
    // is on stderr already.
    *error = std::string("ffmpeg stopped reading (") + std::strerror(errno) + ")";
    return false;
}

std::string FfmpegWriter::finish()
{
    return finishTake(&take);
}

bool FfmpegWriter::remove(bool onlyEmpty)
{
    struct stat st;
    if (onlyEmpty && !(stat(take.file.c_str(), &st) == 0 && st.st_size == 0))
        return false;
    return unlink(take.file.c_str()) == 0;
}
