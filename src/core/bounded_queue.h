#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace napi {

// A fixed ring of `capacity` slots, allocated once: a burst beyond that overwrites its oldest
// items instead of growing memory or allocating per item. Not locked: its owner guards it and
// hands whole batches across with `swap`.
template <typename T>
class bounded_queue {
public:
    explicit bounded_queue(uint32_t capacity) : slots_(capacity == 0 ? 1 : capacity) {}

    bounded_queue(const bounded_queue&) = delete;
    bounded_queue& operator=(const bounded_queue&) = delete;

    // Appends `item`. When the ring is full the oldest item is moved into `dropped`, for the
    // caller to release outside its lock (a destructor may run arbitrary code).
    void push(T item, T& dropped) {
        const size_t capacity = slots_.size();
        if (count_ == capacity) {
            dropped = std::move(slots_[head_]);
            slots_[head_] = std::move(item);
            head_ = (head_ + 1) % capacity;
            return;
        }
        slots_[(head_ + count_) % capacity] = std::move(item);
        ++count_;
    }

    // Moves the oldest item into `out`; leaves `out` untouched when empty.
    bool pop(T& out) {
        if (count_ == 0) {
            return false;
        }
        out = std::move(slots_[head_]);
        slots_[head_] = T();
        head_ = (head_ + 1) % slots_.size();
        --count_;
        return true;
    }

    // Exchanges the contents of two rings: the pending items leave in one step.
    void swap(bounded_queue& other) noexcept {
        slots_.swap(other.slots_);
        std::swap(head_, other.head_);
        std::swap(count_, other.count_);
    }

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    uint32_t capacity() const { return static_cast<uint32_t>(slots_.size()); }

private:
    std::vector<T> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
};

}  // namespace napi
