// Frames of a screen area on Windows from the desktop's own duplication.
#ifndef DXGIGRABBER_H
#define DXGIGRABBER_H

#include "record/gdigrabber.h"
#include "record/recording.h"

#include <d3d11.h>
#include <dxgi1_2.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

// Each monitor's picture through DXGI Desktop Duplication, which also says
// what changed, so that a still area is neither copied nor encoded again.
// Where a monitor cannot be duplicated (Wine, a rotated monitor, the secure
// desktop of a consent prompt, a driver without it) the frame comes from GDI
// instead, as GdiGrabber gives it.
class DxgiGrabber : public GdiGrabber
{
public:
    explicit DxgiGrabber(bool pointer) : GdiGrabber(pointer) { }

    bool open(std::string *error) override;
    bool prepare(const Region &area, std::string *error) override;
    void release() override;
    const uint8_t *grab(int32_t x, int32_t y) override;
    bool unchanged() const override { return same; }

protected:
    bool copyScreen(int32_t x, int32_t y, uint8_t *pixels) override;

private:
    template <typename T>
    using Com = Microsoft::WRL::ComPtr<T>;

    struct Monitor
    {
        Region place; // on the virtual screen, in physical pixels
        Com<ID3D11Device> device;
        Com<ID3D11DeviceContext> context;
        Com<IDXGIOutputDuplication> duplication;
        Com<ID3D11Texture2D> picture; // the last one the desktop gave
        Com<ID3D11Texture2D> staging; // the area's part of it, read by the CPU
        int32_t stagingWidth = 0;
        int32_t stagingHeight = 0;
    };
    struct Pointer
    {
        POINT at {};
        HCURSOR shape = nullptr;
        bool showing = false;
        bool operator==(const Pointer &other) const
        {
            return at.x == other.at.x && at.y == other.at.y && shape == other.shape
                && showing == other.showing;
        }
    };

    void duplicate();
    bool takeNewPictures(const Region &area);
    bool keepPicture(Monitor &monitor, IDXGIResource *resource);
    bool changedWithin(Monitor &monitor, const DXGI_OUTDUPL_FRAME_INFO &info,
                       const Region &area);
    bool copyPart(Monitor &monitor, const ScreenPart &part, uint8_t *pixels);
    static Pointer pointerNow();

    std::vector<Monitor> monitors; // while a take runs
    bool unsupported = false; // the system has no duplication: GDI for good
    ULONGLONG retryAt = 0; // a duplication was lost: when to set it up again, in ms
    std::vector<uint8_t> metadata;
    const uint8_t *last = nullptr;
    bool lastDuplicated = false;
    int32_t lastX = 0;
    int32_t lastY = 0;
    Pointer lastPointer;
    bool same = false;
    bool fromDuplication = false;
};

#endif // DXGIGRABBER_H
