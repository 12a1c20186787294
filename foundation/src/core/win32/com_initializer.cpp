#include <orlix/com_initializer.h>

#include <objbase.h>

namespace Orlix {

ComInitializer::ComInitializer() noexcept {
    if (CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) ==
        RPC_E_CHANGED_MODE) {
        CoInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE);
    }
}

// Unconditional: both successful results (S_OK and S_FALSE for a thread already in that
// apartment) take a reference that must be given back.
ComInitializer::~ComInitializer() {
    CoUninitialize();
}

}  // namespace Orlix
