// What the notifications say, whatever shows them.
#include "record/notifier.h"

#include <cstdio>

namespace {

std::string nameOf(const std::string &file)
{
#ifdef _WIN32
    return file.substr(file.find_last_of("\\/") + 1);
#else
    return file.substr(file.rfind('/') + 1);
#endif
}

} // namespace

void Notifier::saved(const std::string &file, double seconds)
{
    char length[32];
    std::snprintf(length, sizeof length, "%.1f s", seconds);
    notify("Take saved", nameOf(file) + ", " + length, file, false);
}

void Notifier::failed(const std::string &file, const std::string &reason)
{
    notify("Take failed", nameOf(file) + ": " + reason, file, true);
}

void Notifier::problem(const std::string &summary, const std::string &body)
{
    notify(summary, body, std::string(), true);
}
