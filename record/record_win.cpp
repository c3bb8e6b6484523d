// Recording grabs the X server's screen: nothing of it exists on Windows.
#include "record/record.h"

#include <cstdio>

int runRecord(const RecordOptions &)
{
    std::fputs("zorvi-settings: record is not available on Windows; capture the region with\n"
               "ffmpeg's gdigrab (zorvi-settings region --inner gives it)\n",
               stderr);
    return 2;
}
