#pragma once

// Node-API and libuv as the host executable exports them. The declarations come from the
// registries' headers; the definitions are lazy bindings (host_binding.cpp for the module's
// own, the test add-on binds what only it uses).
#include <node_api.h>
#include <uv.h>

#include <atomic>

namespace host {

// The running executable's export `name`, or null when it lacks it.
void* resolve(const char* name) noexcept;

// One slot per host function: resolved once, then a load per call.
template <typename Fn>
Fn* bound(std::atomic<Fn*>& slot, const char* name) noexcept {
    Fn* fn = slot.load(std::memory_order_acquire);
    if (fn == nullptr) {
        fn = reinterpret_cast<Fn*>(resolve(name));
        slot.store(fn, std::memory_order_release);
    }
    return fn;
}

}  // namespace host

// Defines `name` as a forwarder to the host's function of that name: a function the host lacks
// makes the call return `fallback` instead of jumping through a null pointer.
#define QUARNEL_DEFINE_FORWARDER(ret, name, params, args, fallback) \
    namespace {                                                     \
    std::atomic<ret(*) params> slot_##name{nullptr};                \
    }                                                               \
    extern "C" ret name params {                                    \
        auto fn = host::bound<ret params>(slot_##name, #name);      \
        return fn != nullptr ? fn args : fallback;                  \
    }

// The same for a function without a result: a missing one does nothing.
#define QUARNEL_DEFINE_VOID_FORWARDER(name, params, args)       \
    namespace {                                                 \
    std::atomic<void(*) params> slot_##name{nullptr};           \
    }                                                           \
    extern "C" void name params {                               \
        auto fn = host::bound<void params>(slot_##name, #name); \
        if (fn != nullptr) {                                    \
            fn args;                                            \
        }                                                       \
    }
