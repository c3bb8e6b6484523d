// A file descriptor owned: closed when its owner goes. Unix only.
#ifndef DESCRIPTOR_H
#define DESCRIPTOR_H

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

#endif // DESCRIPTOR_H
