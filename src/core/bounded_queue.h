#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <utility>

namespace napi {

// Mutex-guarded FIFO that keeps at most `capacity` items: a burst beyond that
// loses its oldest items instead of growing memory.
template <typename T>
class bounded_queue {
public:
    explicit bounded_queue(uint32_t capacity) : capacity_(capacity) {}

    bounded_queue(const bounded_queue&) = delete;
    bounded_queue& operator=(const bounded_queue&) = delete;

    // No lock: nobody may use a queue that is being destroyed, and at process exit a thread
    // that ExitProcess ended may still own the mutex.
    ~bounded_queue() = default;

    void push(T item) {
        // Dropped items are released after the lock is let go: their destructors
        // may run arbitrary code.
        std::list<T> dropped;
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(std::move(item));
        while (items_.size() > capacity_) {
            dropped.splice(dropped.end(), items_, items_.begin());
        }
    }

    // Moves the oldest item into `out`; leaves `out` untouched when empty.
    bool pop(T& out) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (items_.empty()) {
            return false;
        }
        out = std::move(items_.front());
        items_.pop_front();
        return true;
    }

    size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_.size();
    }

    uint32_t capacity() const { return capacity_; }

private:
    const uint32_t capacity_;
    mutable std::mutex mutex_;
    std::list<T> items_;
};

}  // namespace napi
