// A balloon of an icon of our own in the notification area: a click on it
// opens the take's folder in the file manager.
#include "record/notifier.h"
#include "record/widename.h"

#include <algorithm>

#include <windows.h>

#include <shellapi.h>

namespace {

const UINT iconMessage = WM_APP + 1;
const wchar_t className[] = L"ZorviRecordNotifier";

template <size_t size>
void copy(wchar_t (&to)[size], const std::string &text)
{
    const std::wstring wide = wideName(text);
    const size_t length = std::min(wide.size(), size - 1);
    wide.copy(to, length);
    to[length] = L'\0';
}

std::string folderOf(const std::string &file)
{
    const std::size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

LRESULT CALLBACK handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == iconMessage
        && (LOWORD(lParam) == NIN_BALLOONUSERCLICK || LOWORD(lParam) == WM_LBUTTONUP)) {
        const auto *folder
            = reinterpret_cast<const std::wstring *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (folder && !folder->empty())
            ShellExecuteW(nullptr, L"open", folder->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

Notifier::Notifier()
{
    WNDCLASSW windowClass {};
    windowClass.lpfnWndProc = handle;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    // A message-only window: nothing to see, only the icon's clicks.
    HWND made = CreateWindowExW(0, className, L"zorvi-settings record", 0, 0, 0, 0, 0,
                                HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (made)
        SetWindowLongPtrW(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&folder));
    window = made;
}

Notifier::~Notifier()
{
    if (shown) {
        NOTIFYICONDATAW data {};
        data.cbSize = sizeof data;
        data.hWnd = static_cast<HWND>(window);
        data.uID = 1;
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    if (window)
        DestroyWindow(static_cast<HWND>(window));
}

void Notifier::process()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Notifier::notify(const std::string &summary, const std::string &body, const std::string &file,
                      bool urgent)
{
    if (!window)
        return;
    NOTIFYICONDATAW data {};
    data.cbSize = sizeof data;
    data.hWnd = static_cast<HWND>(window);
    data.uID = 1;
    if (!shown) {
        data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
        data.uCallbackMessage = iconMessage;
        data.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32516)); // IDI_INFORMATION
        copy(data.szTip, "zorvi-settings record");
        shown = Shell_NotifyIconW(NIM_ADD, &data);
    }
    data.uFlags = NIF_INFO;
    copy(data.szInfoTitle, summary);
    copy(data.szInfo, body);
    data.dwInfoFlags = urgent ? NIIF_ERROR : NIIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &data);
    folder = file.empty() ? std::wstring() : wideName(folderOf(file));
}
