// The desktop's notifications (org.freedesktop.Notifications on the session
// bus; a balloon of an icon in the notification area on Windows) for the
// end of a take, and for what keeps capture from recording at all. Without
// a bus or a server it says nothing, and the lines on standard output and
// standard error stay the only report.
#ifndef NOTIFIER_H
#define NOTIFIER_H

#include <cstdint>
#include <map>
#include <string>

#ifndef _WIN32
struct sd_bus;
#endif

class Notifier
{
public:
    Notifier();
    ~Notifier();
    Notifier(const Notifier &) = delete;
    Notifier &operator=(const Notifier &) = delete;

#ifndef _WIN32
    // What to poll beside the take loop's own descriptors: the bus's
    // descriptor (-1 without one) and the events it waits for.
    int descriptor() const;
    short events() const;
#endif
    // Handles what came: replies, and a click on "Open the folder" (on
    // Windows, on the balloon: the thread's window messages).
    void process();

    void saved(const std::string &file, double seconds);
    void failed(const std::string &file, const std::string &reason);
    // Something that keeps capture from recording at all, urgent and
    // without a folder to open.
    void problem(const std::string &summary, const std::string &body);

private:
    void notify(const std::string &summary, const std::string &body, const std::string &file,
                bool urgent);

#ifdef _WIN32
    void *window = nullptr; // HWND, which hears of clicks on the balloon
    bool shown = false; // the icon is in the notification area
    std::wstring folder; // of the last balloon
#else
    sd_bus *bus = nullptr;
    // The folder of each notification shown, by the server's number for it.
    std::map<uint32_t, std::string> folders;
    std::map<uint64_t, std::string> pending; // by the call's cookie, until the number comes
    int unanswered = 0; // calls sent whose reply has not come
#endif
};

#endif // NOTIFIER_H
