#pragma once

#include <memory>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include <orlix/exception.h>

namespace Orlix {

// Holds one value of any copyable type, or nothing (then Type() is typeid(void)).
class any {
public:
    any() noexcept = default;
    template <typename T, typename = std::enable_if_t<!std::is_same<std::decay_t<T>, any>::value>>
    any(T&& value)  // NOLINT(google-explicit-constructor): arguments are packed implicitly
        : holder_(std::make_unique<Holder<std::decay_t<T>>>(std::forward<T>(value))) {}
    any(const any& other) : holder_(other.holder_ ? other.holder_->Clone() : nullptr) {}
    any(any&& other) noexcept = default;
    any& operator=(const any& other) {
        any(other).swap(*this);
        return *this;
    }
    any& operator=(any&& other) noexcept = default;
    ~any() = default;

    void swap(any& other) noexcept { holder_.swap(other.holder_); }
    bool empty() const noexcept { return holder_ == nullptr; }
    const std::type_info& Type() const noexcept { return holder_ ? holder_->Type() : typeid(void); }

private:
    struct HolderBase {
        virtual ~HolderBase() = default;
        virtual const std::type_info& Type() const noexcept = 0;
        virtual std::unique_ptr<HolderBase> Clone() const = 0;
    };
    template <typename T>
    struct Holder final : HolderBase {
        template <typename U>
        explicit Holder(U&& v) : value(std::forward<U>(v)) {}
        const std::type_info& Type() const noexcept override { return typeid(T); }
        std::unique_ptr<HolderBase> Clone() const override {
            return std::make_unique<Holder>(value);
        }
        T value;
    };

    template <typename T>
    friend const T* any_cast(const any* operand) noexcept;
    template <typename T>
    friend T* any_cast(any* operand) noexcept;

    std::unique_ptr<HolderBase> holder_;
};

// Pointer forms: null when the operand is null or holds another type.
template <typename T>
const T* any_cast(const any* operand) noexcept {
    if (operand == nullptr || operand->Type() != typeid(T)) {
        return nullptr;
    }
    return &static_cast<const any::Holder<T>*>(operand->holder_.get())->value;
}

template <typename T>
T* any_cast(any* operand) noexcept {
    if (operand == nullptr || operand->Type() != typeid(T)) {
        return nullptr;
    }
    return &static_cast<any::Holder<T>*>(operand->holder_.get())->value;
}

// Value form: the held value, or bad_any_cast when another type (or nothing) is held.
template <typename T>
T any_cast(const any& operand) {
    using Value = std::remove_cv_t<std::remove_reference_t<T>>;
    const Value* value = any_cast<Value>(&operand);
    if (value == nullptr) {
        throw bad_any_cast();
    }
    return *value;
}

}  // namespace Orlix
