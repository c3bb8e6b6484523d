// The takes as record tells them: a line each on standard output (JSON with
// --json), the problems on standard error, and the desktop's notifications.
#ifndef TAKELINES_H
#define TAKELINES_H

#include "record/takerecorder.h"

class Notifier;

class TakeLines : public TakeReport
{
public:
    TakeLines(bool json, Notifier *notifier);

    void recording(const std::string &file, const Region &area, int32_t width,
                   int32_t height) override;
    void saved(const std::string &file, double seconds, long frames, long dropped) override;
    void failed(const std::string &file, bool removed, const std::string &reason,
                long frames) override;
    void refused(const std::string &reason, bool captureOn) override;
    void note(const std::string &line) override;

private:
    const bool json;
    Notifier *notifier;
};

#endif // TAKELINES_H
