// The stop signals (SIGINT, SIGTERM) as a descriptor to poll beside others,
// so that no signal slips in between a check and the wait. Unix only: the
// commands that follow something until stopped share it.
#ifndef STOPSIGNAL_H
#define STOPSIGNAL_H

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd(fd) { }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd; }
    void reset(int other = -1);

private:
    int fd;
};

// Blocks the stop signals and returns a signalfd readable once one came, or
// -1. A signal ignored at start (a background job of a script) stays ignored.
int stopSignalDescriptor();

// In a child between fork and exec (it calls only async-signal-safe
// functions): no signal blocked and none ignored, as a program started from
// a terminal expects, whatever its parent blocked or ignored for itself.
void restoreDefaultSignals();

#endif // STOPSIGNAL_H
