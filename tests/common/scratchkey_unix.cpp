#include "tests/common/scratchkey.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

ScratchKey::ScratchKey(bool create)
{
    char templ[] = "/tmp/zorvi-test-XXXXXX";
    root = mkdtemp(templ) ? templ : "/nonexistent";
    path = root + "/config/screen-capture-rvk";
    fs::create_directory(root + "/run");
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    if (create)
        fs::create_directories(path);
    watch = inotify_init1(IN_NONBLOCK);
    inotify_add_watch(watch, path.c_str(), IN_MODIFY | IN_MOVED_TO);
}

ScratchKey::~ScratchKey()
{
    close(watch);
    fs::remove_all(root);
}

bool ScratchKey::exists() const
{
    return fs::exists(fs::symlink_status(path));
}

void ScratchKey::put(const char *name, const std::string &bytes, unsigned long)
{
    std::ofstream(file(name), std::ios::binary) << bytes;
}

std::string ScratchKey::text(const char *name) const
{
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ScratchKey::names() const
{
    std::vector<std::string> result;
    for (const fs::directory_entry &entry : fs::directory_iterator(path))
        result.push_back(entry.path().filename());
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<std::string> ScratchKey::changes() const
{
    std::vector<std::string> result;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
        for (const char *p = buffer; p < buffer + length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            p += sizeof(inotify_event) + event->len;
            if (event->name[0] != '.' && (result.empty() || result.back() != event->name))
                result.push_back(event->name);
        }
    }
    return result;
}
