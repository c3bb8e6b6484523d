#include "os/descriptor.h"

#include <unistd.h>

void Descriptor::reset(int other)
{
    if (fd >= 0)
        close(fd);
    fd = other;
}
