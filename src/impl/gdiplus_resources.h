#pragma once

// RAII owners of the GDI+ objects the frame windows paint with, one alias per release rule.
// Apart from win32_resources.h because the GDI+ headers are heavy and only painting needs them.
#include <orlix/unique_resource.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace win32 {

using UniqueGpGraphics =
    Orlix::unique_resource<Gdiplus::GpGraphics*, Gdiplus::DllExports::GdipDeleteGraphics>;
using UniqueGpBrush =
    Orlix::unique_resource<Gdiplus::GpBrush*, Gdiplus::DllExports::GdipDeleteBrush>;

// GDI+ for the calling thread, from construction to destruction.
class GdiplusSession {
public:
    GdiplusSession() noexcept {
        Gdiplus::GdiplusStartupInput input;  // version 1, no debug hook, background thread
        if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
            token_ = 0;
        }
    }
    ~GdiplusSession() {
        if (token_ != 0) {
            Gdiplus::GdiplusShutdown(token_);
        }
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

// The device context a GDI+ graphics object lends out (flushed), given back when it ends.
class GraphicsDc {
public:
    explicit GraphicsDc(Gdiplus::GpGraphics* graphics) noexcept : graphics_(graphics) {
        if (graphics_ == nullptr ||
            Gdiplus::DllExports::GdipGetDC(graphics_, &dc_) != Gdiplus::Ok) {
            dc_ = nullptr;
        }
    }
    ~GraphicsDc() {
        if (dc_ != nullptr) {
            Gdiplus::DllExports::GdipReleaseDC(graphics_, dc_);
        }
    }
    GraphicsDc(const GraphicsDc&) = delete;
    GraphicsDc& operator=(const GraphicsDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    Gdiplus::GpGraphics* graphics_;
    HDC dc_ = nullptr;
};

}  // namespace win32
