#include "os/singleinstance.h"

#include <string>

#include <windows.h>

bool claimSingleInstance()
{
    return claimSessionMarker("SCRM-TAVRO");
}

bool claimSessionMarker(const char *name)
{
    // No "Global\" prefix: the marker belongs to this session alone.
    const std::string narrow(name);
    const std::wstring wide(narrow.begin(), narrow.end()); // the names are ASCII
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.c_str());
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex)
            CloseHandle(mutex);
        return false;
    }
    // The handle stays open on purpose: the system closes it when the
    // process ends, and with it goes the marker.
    return true;
}
