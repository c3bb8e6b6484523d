#include "singleinstance.h"

#include <windows.h>

bool claimSingleInstance()
{
    // No "Global\" prefix: the marker belongs to this session alone.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"SCRM-TAVRO");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex)
            CloseHandle(mutex);
        return false;
    }
    // The handle stays open on purpose: the system closes it when the
    // process ends, and with it goes the marker.
    return true;
}
