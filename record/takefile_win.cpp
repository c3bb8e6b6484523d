#include "record/recording.h"
#include "record/takefile.h"
#include "record/widename.h"

#include <ctime>

#include <windows.h>

bool reserveTakeFile(const std::string &folder, std::string *path, std::string *error)
{
    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_s(&local, &now);
    for (int attempt = 1; attempt < 1000; ++attempt) {
        *path = folder + '\\' + takeFileName(local, attempt);
        const HANDLE file = CreateFileW(wideName(*path).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            *error = *path + ": " + systemMessage(code);
            return false;
        }
    }
    *error = "no free file name in " + folder;
    return false;
}
