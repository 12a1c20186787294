// Synthesized mouse input: absolute moves over the virtual desktop and button events.
#include "impl/quarnel_impl.h"

#include "core/logging.h"
#include "core/mouse_input.h"
#include "impl/dpi_context.h"
#include "impl/input_integrity.h"
#include "impl/win32_bridge.h"

#include <initializer_list>
#include <vector>

namespace {

// SendInput rejects every record when its size argument is not the system's INPUT size: the
// 32-bit union is 24 bytes after the type, the 64-bit one 32 after padding.
static_assert(sizeof(INPUT) == (sizeof(void*) == 8 ? 40 : 28), "INPUT layout");

// Sends one input record per flag value, as button events at the cursor's position, and logs
// under the button operation that asked. Returns -1 when all went in, else the error code the
// system set right after the call.
int SendMouseButtons(const quarnel::LogSite& site, std::initializer_list<uint32_t> flags) {
    if (const std::optional<std::string> warning =
            InputDropCheck(GetForegroundWindow(), "mouse input")) {
        QLOG_AS(site, LOG_WARNING) << *warning;
    }
    std::vector<INPUT> records;
    for (uint32_t flag : flags) {
        INPUT record = {};
        record.type = INPUT_MOUSE;
        record.mi.dwFlags = flag;
        records.push_back(record);
    }
    const UINT count = static_cast<UINT>(records.size());
    const UINT injected = SendInput(count, records.data(), sizeof(INPUT));
    const DWORD error = GetLastError();
    const DWORD failure = injected == count ? 0 : error;
    const int result = quarnel::MouseInputResult(injected, count, failure);
    if (result != -1) {
        QLOG_AS(site, LOG_ERROR) << "err:" << failure;
    }
    return result;
}

}  // namespace

int QuarnelImpl::InputMouseMove(int x, int y) {
    // The extent and the move in physical pixels, whatever the host's own DPI awareness.
    const win32::PerMonitorDpiScope dpi;
    if (const std::optional<std::string> warning =
            InputDropCheck(GetForegroundWindow(), "mouse input")) {
        QLOG(LOG_WARNING) << *warning;
    }
    int width = 0;
    int height = 0;
    GetDeskRect(width, height);
    const std::optional<int32_t> dx = quarnel::NormaliseAbsolute(x, width);
    const std::optional<int32_t> dy = quarnel::NormaliseAbsolute(y, height);
    if (!dx || !dy) {
        // No display reported its mode: there is nothing to scale the point onto.
        QLOG(LOG_ERROR) << "no desktop size width:" << width << " height:" << height;
        return ERROR_DEVICE_NOT_AVAILABLE;
    }
    QLOG(LOG_INFO) << "dx:" << *dx << " dy:" << *dy;
    INPUT record = {};
    record.type = INPUT_MOUSE;
    record.mi.dx = *dx;
    record.mi.dy = *dy;
    record.mi.dwFlags = quarnel::kMouseAbsoluteMoveFlags;
    const UINT injected = SendInput(1, &record, sizeof(INPUT));
    const DWORD error = GetLastError();
    const int result = quarnel::MouseInputResult(injected, 1, error);
    if (result != -1) {
        QLOG(LOG_ERROR) << "err:" << error;
    }
    return result;
}

int QuarnelImpl::InputMouseLeftClick() {
    return SendMouseButtons(QLOG_HERE, {quarnel::kMouseLeftDown, quarnel::kMouseLeftUp});
}
int QuarnelImpl::InputMouseLeftDown() {
    return SendMouseButtons(QLOG_HERE, {quarnel::kMouseLeftDown});
}
int QuarnelImpl::InputMouseLeftUp() {
    return SendMouseButtons(QLOG_HERE, {quarnel::kMouseLeftUp});
}
int QuarnelImpl::InputMouseRightClick() {
    return SendMouseButtons(QLOG_HERE, {quarnel::kMouseRightDown, quarnel::kMouseRightUp});
}
int QuarnelImpl::InputMouseRightDown() {
    return SendMouseButtons(QLOG_HERE, {quarnel::kMouseRightDown});
}
int QuarnelImpl::InputMouseRightUp() {
    return SendMouseButtons(QLOG_HERE, {quarnel::kMouseRightUp});
}
