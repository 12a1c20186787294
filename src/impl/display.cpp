// Display queries: the virtual desktop's extent and the primary monitor's mode.
#include "impl/quarnel_impl.h"

#include "core/desktop_geometry.h"
#include "core/lasting.h"
#include "core/logging.h"
#include "impl/display_watch.h"
#include "impl/dpi_context.h"

#include <mutex>
#include <optional>
#include <vector>

namespace {

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) noexcept {
    try {
        reinterpret_cast<std::vector<quarnel::Rect>*>(list)->push_back(
            {rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top});
        return TRUE;
    } catch (...) {
        return FALSE;  // out of memory: the displays measured so far have to do
    }
}

// Measuring walks every adapter and monitor (under Wine about 440 µs, more than the move it
// serves), and even the system's metrics of the virtual screen cost a server round trip each:
// so the extent is kept for as long as the display watch has heard of no change. Process-wide:
// the displays are.
struct MeasuredExtent {
    std::mutex mutex;
    std::optional<uint64_t> generation;
    std::optional<quarnel::DesktopSize> size;
};
quarnel::Lasting<MeasuredExtent> measuredExtent;

}  // namespace

// Measured again only when the display configuration may have changed since the last
// measurement, and only then logged. The generation is read before measuring: a change during
// the measurement makes the next call measure again.
void QuarnelImpl::GetDeskRect(int& width, int& height) {
    const uint64_t generation = win32::DisplayGeneration();
    std::lock_guard<std::mutex> lock(measuredExtent->mutex);
    const bool measure = measuredExtent->generation != generation;
    if (measure) {
        std::vector<quarnel::Rect> displays;
        DISPLAY_DEVICEW device = {};
        device.cb = sizeof(device);
        for (DWORD index = 0; EnumDisplayDevicesW(nullptr, index, &device, 0); ++index) {
            const std::wstring name(device.DeviceName);
            DEVMODEW mode = {};
            mode.dmSize = sizeof(mode);
            mode.dmDriverExtra = 0;
            // Adapters without a current mode are not part of the desktop.
            if (!EnumDisplaySettingsW(name.c_str(), ENUM_CURRENT_SETTINGS, &mode)) {
                continue;
            }
            const quarnel::Rect display{mode.dmPosition.x, mode.dmPosition.y,
                                        static_cast<int32_t>(mode.dmPelsWidth),
                                        static_cast<int32_t>(mode.dmPelsHeight)};
            QLOG(LOG_INFO) << "EnumDisplaySettings x:" << display.x << " y:" << display.y
                           << " width:" << display.width << " height:" << display.height;
            displays.push_back(display);
        }
        // The monitors too: a display whose mode the system does not tell (Wine's Xinerama heads
        // report 0 x 0) still spans part of the desktop. Physical, as the callers run per-monitor
        // aware; where they cannot, these are the scaled ones and never exceed the modes.
        EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&displays));
        measuredExtent->size = quarnel::DesktopExtent(displays);
        measuredExtent->generation = generation;
    }
    if (measuredExtent->size) {
        width = measuredExtent->size->width;
        height = measuredExtent->size->height;
    }
    if (measure) {
        QLOG(LOG_INFO) << "width:" << width << " height:" << height;
    }
}

void QuarnelImpl::GetMainMonitorRect(int& x, int& y, int& width, int& height) {
    const win32::PerMonitorDpiScope dpi;
    // Zeroed, so that a failed query reports an empty rectangle rather than stack contents.
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmDriverExtra = 0;
    const BOOL ret = EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    QLOG(LOG_INFO) << "EnumDisplaySettingsW ret:" << ret;
    x = mode.dmPosition.x;
    y = mode.dmPosition.y;
    width = static_cast<int>(mode.dmPelsWidth);
    height = static_cast<int>(mode.dmPelsHeight);
}
