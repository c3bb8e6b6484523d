// What the Windows grabbers take of the screen: a window of the test's own in
// one colour, black past the screens' edge, and the pointer at its hot spot.
// Needs a display (under Wine, an X server, where the desktop's duplication
// is missing and DxgiGrabber falls back to GDI).
#include "record/dxgigrabber.h"
#include "record/gdigrabber.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const COLORREF paint = RGB(0x20, 0x80, 0xE0);
const int32_t windowY = 150, windowSize = 200;

// A 32 x 32 cursor that is clear but for a black 4 x 4 square at (8, 8),
// its hot spot: the square's corner is where the pointer points.
HCURSOR squareCursor()
{
    BYTE andMask[128], xorMask[128] = {};
    std::memset(andMask, 0xFF, sizeof andMask);
    for (int row = 8; row < 12; ++row)
        andMask[row * 4 + 1] = 0x0F; // bits 8 to 11 of the row cleared
    return CreateCursor(GetModuleHandleW(nullptr), 8, 8, 32, 32, andMask, xorMask);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_SETCURSOR) {
        static const HCURSOR cursor = squareCursor();
        SetCursor(cursor);
        return TRUE;
    }
    return DefWindowProcW(window, message, w, l);
}

template <typename Grabber>
class Grab : public testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW type {};
        type.lpfnWndProc = windowProcedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hbrBackground = CreateSolidBrush(paint);
        type.lpszClassName = L"zorvi-grab-test";
        RegisterClassW(&type);
        // At the screens' left edge, so that an area half past it shows it.
        windowX = GetSystemMetrics(SM_XVIRTUALSCREEN);
        window = CreateWindowExW(WS_EX_TOPMOST, type.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                                 windowX, windowY, windowSize, windowSize, nullptr, nullptr,
                                 type.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        SetCursorPos(windowX + 50, windowY + 60);
        pump(1000); // mapped, painted and the cursor set
    }
    void TearDown() override { DestroyWindow(window); }

    static void pump(int ms)
    {
        for (const ULONGLONG end = GetTickCount64() + ULONGLONG(ms); GetTickCount64() < end;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(10);
        }
    }

    HWND window = nullptr;
    int32_t windowX = 0;
};

// Pixel (column, row) of a bgr0 frame as a COLORREF.
COLORREF at(const uint8_t *frame, int32_t width, int32_t column, int32_t row)
{
    const uint8_t *pixel = frame + (std::size_t(row) * width + column) * 4;
    return RGB(pixel[2], pixel[1], pixel[0]);
}

using Grabbers = testing::Types<GdiGrabber, DxgiGrabber>;
TYPED_TEST_SUITE(Grab, Grabbers);

} // namespace

TYPED_TEST(Grab, TakesTheScreenBlackPastItsEdgeAndThePointerAtItsHotSpot)
{
    const int32_t windowX = this->windowX;
    TypeParam grabber(true);
    std::string error;
    ASSERT_TRUE(grabber.open(&error)) << error;
    const Region area { windowX + 20, windowY + 20, 64, 64 };
    ASSERT_TRUE(grabber.prepare(area, &error)) << error;
    ASSERT_EQ(grabber.frameBytes(), std::size_t(64 * 64 * 4));

    // Inside the window: its colour, but where the pointer is, at (30, 40).
    // Twice, so that both buffers hold it.
    const uint8_t *frame = nullptr;
    for (int round = 0; round < 2; ++round) {
        frame = grabber.grab(area.x, area.y);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(at(frame, 64, 0, 0), paint);
        EXPECT_EQ(at(frame, 64, 63, 63), paint);
        EXPECT_EQ(at(frame, 64, 30, 40), RGB(0, 0, 0));
        EXPECT_EQ(at(frame, 64, 33, 43), RGB(0, 0, 0));
        EXPECT_EQ(at(frame, 64, 29, 39), paint);
        EXPECT_EQ(at(frame, 64, 34, 44), paint);
        // GDI cannot tell what changed: no picture may be held for it.
        EXPECT_FALSE(grabber.unchanged());
    }

    // Half past the left edge of the screens: black there, the window after.
    frame = grabber.grab(windowX - 32, windowY + 100);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(at(frame, 64, 31, 10), RGB(0, 0, 0));
    EXPECT_EQ(at(frame, 64, 32, 10), paint);
    // Wholly off every screen: all black.
    frame = grabber.grab(windowX - 100, GetSystemMetrics(SM_YVIRTUALSCREEN) - 100);
    ASSERT_NE(frame, nullptr);
    for (int32_t i = 0; i < 64; i += 9)
        EXPECT_EQ(at(frame, 64, i, i), RGB(0, 0, 0)) << i;

    // Larger than every screen: refused, the sizes said.
    EXPECT_FALSE(grabber.prepare({ 0, 0, 30000, 16875 }, &error));
    EXPECT_NE(error.find("30000x16875"), std::string::npos) << error;
}
