#include "record/gdigrabber.h"
#include "record/recording.h"

#include <cstring>

namespace {

// The virtual screen: every monitor, its corner where the leftmost and
// topmost of them begin (negative when one lies left of or above the main).
Region virtualScreen()
{
    return { GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
             GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN) };
}

} // namespace

GdiGrabber::~GdiGrabber()
{
    release();
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(nullptr, screen);
}

bool GdiGrabber::open(std::string *error)
{
    // The published region counts physical pixels; a process that is not
    // aware of the monitors' scales would see scaled ones.
    using SetContext = BOOL(WINAPI *)(HANDLE);
    const auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, where the system has it.
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(-4)))
        SetProcessDPIAware();
    screen = GetDC(nullptr);
    memory = screen ? CreateCompatibleDC(screen) : nullptr;
    if (!memory) {
        *error = "cannot reach the screen (GetDC failed with error "
            + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool GdiGrabber::prepare(const Region &area, std::string *error)
{
    const Region desktop = virtualScreen();
    // A size set by hand can be larger than every monitor: its buffers alone
    // would be gigabytes.
    if (area.width > desktop.width || area.height > desktop.height) {
        *error = "the frame's inside, " + std::to_string(area.width) + 'x'
            + std::to_string(area.height) + ", is larger than the screens, "
            + std::to_string(desktop.width) + 'x' + std::to_string(desktop.height)
            + ": make the frame smaller";
        return false;
    }
    release();
    areaWidth = area.width;
    areaHeight = area.height;
    BITMAPINFO format {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = areaWidth;
    format.bmiHeader.biHeight = -areaHeight; // top row first, as the encoder reads
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32; // B, G, R and an unused byte: bgr0
    format.bmiHeader.biCompression = BI_RGB;
    for (Buffer &buffer : buffers) {
        void *bits = nullptr;
        buffer.bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
        buffer.pixels = static_cast<uint8_t *>(bits);
        if (!buffer.bitmap) {
            release();
            *error = "no memory for frames of " + std::to_string(area.width) + 'x'
                + std::to_string(area.height);
            return false;
        }
    }
    return true;
}

void GdiGrabber::release()
{
    if (original) {
        SelectObject(memory, original);
        original = nullptr;
    }
    for (Buffer &buffer : buffers) {
        if (buffer.bitmap)
            DeleteObject(buffer.bitmap);
        buffer = {};
    }
}

const uint8_t *GdiGrabber::grab(int32_t x, int32_t y)
{
    turn ^= 1;
    Buffer &buffer = buffers[turn];
    const HGDIOBJ previous = SelectObject(memory, buffer.bitmap);
    if (!original)
        original = previous;
    if (!copyScreen(x, y, buffer.pixels))
        return nullptr;
    if (pointer)
        drawPointer(memory, x, y);
    GdiFlush(); // the pixels are read through the bitmap's memory, not GDI
    return buffer.pixels;
}

bool GdiGrabber::copyScreen(int32_t x, int32_t y, uint8_t *pixels)
{
    const Region desktop = virtualScreen();
    ScreenPart part;
    const bool onScreen = screenPart({ x - desktop.x, y - desktop.y, areaWidth, areaHeight },
                                     desktop.width, desktop.height, &part);
    if (!onScreen || part.width != areaWidth || part.height != areaHeight)
        std::memset(pixels, 0, frameBytes());
    // CAPTUREBLT: windows drawn in layers (translucent ones, the picker's
    // own frame) are in the screen's pixels too.
    return !onScreen
        || BitBlt(memory, part.areaX, part.areaY, part.width, part.height, screen,
                  part.screenX + desktop.x, part.screenY + desktop.y, SRCCOPY | CAPTUREBLT);
}

void GdiGrabber::drawPointer(HDC target, int32_t x, int32_t y)
{
    CURSORINFO cursor {};
    cursor.cbSize = sizeof cursor;
    if (!GetCursorInfo(&cursor) || !(cursor.flags & CURSOR_SHOWING))
        return;
    // Under Wine another process's pointer shape is a handle that only
    // that process can read, or none over a window of no Wine program: the
    // arrow stands for it, where it is.
    HCURSOR shape = cursor.hCursor;
    ICONINFO icon {};
    if (!shape || !GetIconInfo(shape, &icon)) {
        shape = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        if (!GetIconInfo(shape, &icon))
            return;
    }
    // GetIconInfo hands over copies of the cursor's bitmaps.
    if (icon.hbmMask)
        DeleteObject(icon.hbmMask);
    if (icon.hbmColor)
        DeleteObject(icon.hbmColor);
    DrawIconEx(target, cursor.ptScreenPos.x - LONG(icon.xHotspot) - x,
               cursor.ptScreenPos.y - LONG(icon.yHotspot) - y, shape, 0, 0, 0, nullptr,
               DI_NORMAL);
}
