#pragma once

#include <atomic>
#include <cstdint>

namespace quarnel {

// Where the add-on stands in its life. Stages only move forward while an owner lives, so any
// thread can read the one value and act on it without a lock; only a new owner, once every
// thread of the old one is gone, starts again from Running.
enum class Stage : uint8_t {
    Running = 0,   // exports and events flow normally
    Quitting = 1,  // the application announced its exit: JavaScript references are left alone
    Detached = 2,  // the owning environment is torn down: nothing may call into the host
    Exiting = 3,   // ExitProcess is under way: other threads are gone, maybe inside our locks
};

// What code may still do, asked of the stage before doing it.
enum class Action : uint8_t {
    ReleaseReferences = 0,  // delete a JavaScript reference or async context
    CallHost = 1,           // call Node-API or libuv at all
    Block = 2,              // take a lock or join a thread
};

// Stage x action: each stage allows less than the one before.
constexpr bool kStageAllows[4][3] = {
    // release references, call the host, block
    {true, true, true},     // Running
    {false, true, true},    // Quitting
    {false, false, true},   // Detached
    {false, false, false},  // Exiting
};

class Lifecycle {
public:
    // Moves to `target` unless already there or further; returns the stage before.
    Stage advance(Stage target) noexcept {
        auto current = value_.load(std::memory_order_acquire);
        while (current < static_cast<uint8_t>(target) &&
               !value_.compare_exchange_weak(current, static_cast<uint8_t>(target),
                                             std::memory_order_acq_rel)) {
        }
        return static_cast<Stage>(current);
    }

    // Back to Running for a new owner, from any stage but Exiting; returns whether it did.
    bool restart() noexcept {
        auto current = value_.load(std::memory_order_acquire);
        while (current != static_cast<uint8_t>(Stage::Exiting) &&
               !value_.compare_exchange_weak(current, static_cast<uint8_t>(Stage::Running),
                                             std::memory_order_acq_rel)) {
        }
        return current != static_cast<uint8_t>(Stage::Exiting);
    }

    Stage stage() const noexcept {
        return static_cast<Stage>(value_.load(std::memory_order_acquire));
    }

    bool allows(Action action) const noexcept {
        return kStageAllows[value_.load(std::memory_order_acquire)][static_cast<uint8_t>(action)];
    }
    bool releases_references() const noexcept { return allows(Action::ReleaseReferences); }
    bool calls_host() const noexcept { return allows(Action::CallHost); }
    bool may_block() const noexcept { return allows(Action::Block); }

private:
    std::atomic<uint8_t> value_{0};
};

}  // namespace quarnel
