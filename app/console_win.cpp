#include "app/console.h"

#include <string>

#include <windows.h>

bool printLine(const char *line)
{
    const std::string text = std::string(line) + "\r\n";
    // Redirected (a pipe, a file), the output handle is there; typed at a
    // prompt, a GUI program gets none and must borrow the prompt's console.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool opened = false;
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return false;
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE)
            return false;
        opened = true;
    }
    DWORD written = 0;
    const bool ok = WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
        && written == text.size();
    if (opened)
        CloseHandle(out);
    return ok;
}
