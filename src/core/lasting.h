#pragma once

#include <new>
#include <type_traits>
#include <utility>

namespace quarnel {

// An object that is made where it is declared and never destroyed. The module is pinned, so
// its process-wide state lives as long as the process. Destroyed at the process's exit it
// would free and lock after the exit killed threads that may have held the heap's lock or this
// state's own; so every object of static duration in the module is one of these, or trivially
// destructible (scripts/check-statics checks it).
template <typename T>
class Lasting {
public:
    template <typename... Args>
    explicit Lasting(Args&&... args) {
        ::new (static_cast<void*>(&storage_)) T(std::forward<Args>(args)...);
    }
    Lasting(const Lasting&) = delete;
    Lasting& operator=(const Lasting&) = delete;
    T& operator*() noexcept { return *std::launder(reinterpret_cast<T*>(&storage_)); }
    T* operator->() noexcept { return &**this; }

private:
    std::aligned_storage_t<sizeof(T), alignof(T)> storage_;
};

}  // namespace quarnel
