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

#endif // STOPSIGNAL_H
