#include "record/dxgigrabber.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A lost duplication (a mode change, a full-screen program, the secure
// desktop) is set up again this long after, GDI giving the frames meanwhile.
constexpr ULONGLONG retryDelay = 1000;

bool overlaps(const Region &area, const RECT &rect)
{
    ScreenPart part;
    return screenPart({ area.x - rect.left, area.y - rect.top, area.width, area.height },
                      rect.right - rect.left, rect.bottom - rect.top, &part);
}

} // namespace

bool DxgiGrabber::open(std::string *error)
{
    if (!GdiGrabber::open(error))
        return false;
    // Told now whether the system duplicates at all, so that no take pays
    // for asking: a device is made for it, which is slow under Wine.
    duplicate();
    monitors.clear();
    return true;
}

bool DxgiGrabber::prepare(const Region &area, std::string *error)
{
    if (!GdiGrabber::prepare(area, error))
        return false;
    // Only while a take runs: an idle recorder holds no duplication.
    if (!unsupported)
        duplicate();
    return true;
}

void DxgiGrabber::release()
{
    GdiGrabber::release();
    monitors.clear();
    retryAt = 0;
    last = nullptr;
    same = false;
}

void DxgiGrabber::duplicate()
{
    monitors.clear();
    retryAt = 0;
    Com<IDXGIFactory1> factory;
    if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory1),
                                  reinterpret_cast<void **>(factory.GetAddressOf())))) {
        unsupported = true;
        return;
    }
    Com<IDXGIAdapter1> adapter;
    for (UINT a = 0; factory->EnumAdapters1(a, adapter.ReleaseAndGetAddressOf()) == S_OK; ++a) {
        // One device for the adapter's monitors. Without it they are still
        // listed, so that GDI gives what lies on them.
        Com<ID3D11Device> device;
        Com<ID3D11DeviceContext> context;
        D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0,
                          D3D11_SDK_VERSION, device.GetAddressOf(), nullptr,
                          context.GetAddressOf());
        Com<IDXGIOutput> output;
        for (UINT o = 0; adapter->EnumOutputs(o, output.ReleaseAndGetAddressOf()) == S_OK; ++o) {
            DXGI_OUTPUT_DESC desc;
            if (FAILED(output->GetDesc(&desc)) || !desc.AttachedToDesktop)
                continue;
            Monitor monitor;
            const RECT &place = desc.DesktopCoordinates;
            monitor.place = { place.left, place.top, place.right - place.left,
                              place.bottom - place.top };
            // A rotated monitor's duplicated pictures lie on their side.
            const bool upright = desc.Rotation == DXGI_MODE_ROTATION_IDENTITY
                || desc.Rotation == DXGI_MODE_ROTATION_UNSPECIFIED;
            Com<IDXGIOutput1> output1;
            if (device && upright && SUCCEEDED(output.As(&output1))) {
                const HRESULT made = output1->DuplicateOutput(device.Get(),
                                                              monitor.duplication.GetAddressOf());
                // Wine, or a system without it: no use asking at every take.
                if (made == E_NOTIMPL || made == DXGI_ERROR_UNSUPPORTED)
                    unsupported = true;
                monitor.device = device;
                monitor.context = context;
            }
            monitors.push_back(std::move(monitor));
        }
    }
}

bool DxgiGrabber::takeNewPictures(const Region &area)
{
    bool changed = false;
    for (Monitor &monitor : monitors) {
        if (!monitor.duplication)
            continue;
        DXGI_OUTDUPL_FRAME_INFO info;
        Com<IDXGIResource> resource;
        const HRESULT got
            = monitor.duplication->AcquireNextFrame(0, &info, resource.GetAddressOf());
        if (got == DXGI_ERROR_WAIT_TIMEOUT)
            continue;
        if (FAILED(got)) {
            monitor.duplication.Reset();
            monitor.picture.Reset();
            if (!retryAt)
                retryAt = GetTickCount64() + retryDelay;
            changed = true;
            continue;
        }
        // A frame of the pointer alone brings no picture.
        if (info.LastPresentTime.QuadPart != 0) {
            if (keepPicture(monitor, resource.Get()))
                changed |= changedWithin(monitor, info, area);
            else
                changed = true;
        }
        monitor.duplication->ReleaseFrame();
    }
    return changed;
}

bool DxgiGrabber::keepPicture(Monitor &monitor, IDXGIResource *resource)
{
    Com<ID3D11Texture2D> frame;
    if (FAILED(resource->QueryInterface(__uuidof(ID3D11Texture2D),
                                        reinterpret_cast<void **>(frame.GetAddressOf())))) {
        monitor.picture.Reset();
        return false;
    }
    if (!monitor.picture) {
        D3D11_TEXTURE2D_DESC desc;
        frame->GetDesc(&desc);
        // Copied as it is into frames of bgr0, the monitor's own size.
        if (desc.Format != DXGI_FORMAT_B8G8R8A8_UNORM || LONG(desc.Width) != monitor.place.width
            || LONG(desc.Height) != monitor.place.height)
            return false;
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = 0;
        desc.MiscFlags = 0;
        if (FAILED(monitor.device->CreateTexture2D(&desc, nullptr,
                                                   monitor.picture.GetAddressOf())))
            return false;
    }
    monitor.context->CopyResource(monitor.picture.Get(), frame.Get());
    return true;
}

bool DxgiGrabber::changedWithin(Monitor &monitor, const DXGI_OUTDUPL_FRAME_INFO &info,
                                const Region &area)
{
    const Region inside = { area.x - monitor.place.x, area.y - monitor.place.y, area.width,
                            area.height };
    if (!overlaps(inside, { 0, 0, monitor.place.width, monitor.place.height }))
        return false;
    // The desktop says which rectangles it drew anew or moved; without that
    // word, all of it may have changed.
    if (info.TotalMetadataBufferSize == 0)
        return true;
    metadata.resize(info.TotalMetadataBufferSize);
    UINT used = 0;
    if (FAILED(monitor.duplication->GetFrameMoveRects(
            UINT(metadata.size()), reinterpret_cast<DXGI_OUTDUPL_MOVE_RECT *>(metadata.data()),
            &used)))
        return true;
    const auto *moves = reinterpret_cast<const DXGI_OUTDUPL_MOVE_RECT *>(metadata.data());
    for (UINT i = 0; i < used / sizeof *moves; ++i) {
        if (overlaps(inside, moves[i].DestinationRect))
            return true;
    }
    if (FAILED(monitor.duplication->GetFrameDirtyRects(
            UINT(metadata.size()), reinterpret_cast<RECT *>(metadata.data()), &used)))
        return true;
    const auto *drawn = reinterpret_cast<const RECT *>(metadata.data());
    for (UINT i = 0; i < used / sizeof *drawn; ++i) {
        if (overlaps(inside, drawn[i]))
            return true;
    }
    return false;
}

bool DxgiGrabber::copyScreen(int32_t x, int32_t y, uint8_t *pixels)
{
    fromDuplication = false;
    const int32_t w = width();
    const int32_t h = height();
    bool whole = false;
    bool any = false;
    for (const Monitor &monitor : monitors) {
        ScreenPart part;
        if (!screenPart({ x - monitor.place.x, y - monitor.place.y, w, h }, monitor.place.width,
                        monitor.place.height, &part))
            continue;
        if (!monitor.picture)
            return GdiGrabber::copyScreen(x, y, pixels);
        whole |= part.width == w && part.height == h;
        any = true;
    }
    if (!any)
        return GdiGrabber::copyScreen(x, y, pixels);
    if (!whole)
        std::memset(pixels, 0, frameBytes());
    for (Monitor &monitor : monitors) {
        ScreenPart part;
        if (screenPart({ x - monitor.place.x, y - monitor.place.y, w, h }, monitor.place.width,
                       monitor.place.height, &part)
            && !copyPart(monitor, part, pixels))
            return GdiGrabber::copyScreen(x, y, pixels);
    }
    fromDuplication = true;
    return true;
}

bool DxgiGrabber::copyPart(Monitor &monitor, const ScreenPart &part, uint8_t *pixels)
{
    if (!monitor.staging || monitor.stagingWidth < part.width
        || monitor.stagingHeight < part.height) {
        D3D11_TEXTURE2D_DESC desc;
        monitor.picture->GetDesc(&desc);
        desc.Width = UINT(std::min(width(), monitor.place.width));
        desc.Height = UINT(std::min(height(), monitor.place.height));
        desc.Usage = D3D11_USAGE_STAGING;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        monitor.staging.Reset();
        if (FAILED(monitor.device->CreateTexture2D(&desc, nullptr,
                                                   monitor.staging.GetAddressOf())))
            return false;
        monitor.stagingWidth = int32_t(desc.Width);
        monitor.stagingHeight = int32_t(desc.Height);
    }
    const D3D11_BOX box = { UINT(part.screenX), UINT(part.screenY), 0,
                            UINT(part.screenX + part.width), UINT(part.screenY + part.height),
                            1 };
    monitor.context->CopySubresourceRegion(monitor.staging.Get(), 0, 0, 0, 0,
                                           monitor.picture.Get(), 0, &box);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(monitor.context->Map(monitor.staging.Get(), 0, D3D11_MAP_READ, 0, &mapped)))
        return false;
    const auto *from = static_cast<const uint8_t *>(mapped.pData);
    for (int32_t row = 0; row < part.height; ++row)
        std::memcpy(pixels + (std::size_t(part.areaY + row) * width() + part.areaX) * 4,
                    from + std::size_t(row) * mapped.RowPitch, std::size_t(part.width) * 4);
    monitor.context->Unmap(monitor.staging.Get(), 0);
    return true;
}

DxgiGrabber::Pointer DxgiGrabber::pointerNow()
{
    CURSORINFO cursor {};
    cursor.cbSize = sizeof cursor;
    Pointer pointer;
    if (GetCursorInfo(&cursor)) {
        pointer.at = cursor.ptScreenPos;
        pointer.shape = cursor.hCursor;
        pointer.showing = cursor.flags & CURSOR_SHOWING;
    }
    return pointer;
}

const uint8_t *DxgiGrabber::grab(int32_t x, int32_t y)
{
    if (retryAt && GetTickCount64() >= retryAt)
        duplicate();
    const bool changed = takeNewPictures({ x, y, width(), height() });
    const Pointer pointer = drawsPointer() ? pointerNow() : Pointer();
    same = last && lastDuplicated && !changed && x == lastX && y == lastY
        && pointer == lastPointer;
    if (same)
        return last;
    last = GdiGrabber::grab(x, y);
    lastDuplicated = fromDuplication;
    lastX = x;
    lastY = y;
    lastPointer = pointer;
    return last;
}
