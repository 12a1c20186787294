#pragma once

#include <utility>

namespace Orlix {

// Owns one resource of a C-style API and releases it with `Close` (a function or function
// object taking the value) unless it holds the `Invalid` value. One template for every
// handle kind; each kind is a one-line alias.
template <typename T, auto Close, T Invalid = T{}>
class unique_resource {
public:
    unique_resource() noexcept = default;
    explicit unique_resource(T value) noexcept : value_(value) {}
    ~unique_resource() { reset(); }

    unique_resource(unique_resource&& other) noexcept : value_(other.release()) {}
    unique_resource& operator=(unique_resource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_resource(const unique_resource&) = delete;
    unique_resource& operator=(const unique_resource&) = delete;

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Invalid; }

    // For out-parameters of creating calls: releases what is held, then exposes the slot.
    T* put() noexcept {
        reset();
        return &value_;
    }

    T release() noexcept { return std::exchange(value_, Invalid); }

    void reset(T value = Invalid) noexcept {
        T old = std::exchange(value_, value);
        if (old != Invalid) {
            Close(old);
        }
    }

private:
    T value_ = Invalid;
};

}  // namespace Orlix
