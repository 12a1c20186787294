#include <orlix/com_initializer.h>

#include <objbase.h>

namespace Orlix {

ComInitializer::ComInitializer() noexcept {
    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (result == RPC_E_CHANGED_MODE) {
        result = CoInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE);
    }
    // Both successes (S_OK, and S_FALSE for a thread already in that apartment) take a
    // reference that must be given back; a failure takes none, and uninitialising after it
    // would end an apartment that belongs to someone else on this thread.
    initialized_ = SUCCEEDED(result);
}

ComInitializer::~ComInitializer() {
    if (initialized_) {
        CoUninitialize();
    }
}

}  // namespace Orlix
