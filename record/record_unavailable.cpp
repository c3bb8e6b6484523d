// A Windows build without FFmpeg's libraries (tools/ffmpeg-windows.sh
// builds them) has no encoder: record says so.
#include "record/record.h"

#include <cstdio>

int runRecord(const RecordOptions &)
{
    std::fputs("zorvi-settings: this build records nothing: it was made without FFmpeg's "
               "libraries; capture the region with ffmpeg's gdigrab (zorvi-settings region "
               "--inner gives it)\n",
               stderr);
    return 2;
}
