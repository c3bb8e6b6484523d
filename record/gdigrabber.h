// Frames of a screen area on Windows, for record.
#ifndef GDIGRABBER_H
#define GDIGRABBER_H

#include "record/grabber.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The desktop's pixels through GDI (BitBlt from the screen), in the
// physical pixels the picker publishes: what every Windows offers, and Wine
// too. With `pointer`, the pointer is drawn in where it stands, at its hot
// spot.
class GdiGrabber : public Grabber
{
public:
    explicit GdiGrabber(bool pointer) : pointer(pointer) { }
    ~GdiGrabber() override;

    bool open(std::string *error) override;
    bool prepare(const Region &area, std::string *error) override;
    int32_t frameWidth() const override { return areaWidth; }
    int32_t frameHeight() const override { return areaHeight; }
    std::size_t frameBytes() const override { return std::size_t(areaWidth) * areaHeight * 4; }
    bool broken() const override { return false; }
    void release() override;
    const uint8_t *grab(int32_t x, int32_t y) override;

protected:
    // Puts the area's pixels at (x, y) into `pixels`, the bitmap selected
    // into `memory`, black where no screen is: false when the screen
    // refuses.
    virtual bool copyScreen(int32_t x, int32_t y, uint8_t *pixels);
    bool drawsPointer() const { return pointer; }
    int32_t width() const { return areaWidth; }
    int32_t height() const { return areaHeight; }

private:
    struct Buffer
    {
        HBITMAP bitmap = nullptr;
        uint8_t *pixels = nullptr; // the bitmap's, top row first
    };

    void drawPointer(HDC target, int32_t x, int32_t y);

    bool pointer;
    HDC screen = nullptr;
    HDC memory = nullptr;
    HGDIOBJ original = nullptr;
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    Buffer buffers[2];
    int turn = 0;
};

#endif // GDIGRABBER_H
