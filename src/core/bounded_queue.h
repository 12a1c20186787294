#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quarnel {

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
    // caller to release outside its lock (a destructor may run arbitrary code), and the answer
    // is true.
    bool push(T item, T& dropped) {
        const size_t capacity = slots_.size();
        if (count_ == capacity) {
            dropped = std::move(slots_[head_]);
            slots_[head_] = std::move(item);
            head_ = (head_ + 1) % capacity;
            return true;
        }
        slots_[(head_ + count_) % capacity] = std::move(item);
        ++count_;
        return false;
    }

    // The oldest item, left in place; null when empty.
    const T* front() const { return count_ == 0 ? nullptr : &slots_[head_]; }

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

// Two rings behind one order: events (input and window events) and log records each drop their
// own oldest when full, so a flood of log records never pushes out an event, while both come
// out in the order they went in. How many log records were dropped travels with the ring and is
// handed out with the next log record taken, the first one after the gap.
template <typename T>
class two_lane_queue {
public:
    enum class lane : uint8_t { event, log };

    two_lane_queue(uint32_t eventCapacity, uint32_t logCapacity)
        : events_(eventCapacity), logs_(logCapacity) {}

    two_lane_queue(const two_lane_queue&) = delete;
    two_lane_queue& operator=(const two_lane_queue&) = delete;

    // As bounded_queue::push, within the item's own lane.
    bool push(T item, lane which, T& dropped) {
        entry gone;
        const bool log = which == lane::log;
        if (!(log ? logs_ : events_).push(entry{next_++, std::move(item)}, gone)) {
            return false;
        }
        dropped = std::move(gone.item);
        if (log && lost_ != UINT32_MAX) {
            ++lost_;
        }
        return true;
    }

    // Moves the oldest item of either lane into `out`. `lost` is the count of log records
    // dropped just before it when it is a log record, else 0.
    bool pop(T& out, uint32_t& lost) {
        const entry* event = events_.front();
        const entry* log = logs_.front();
        if (event == nullptr && log == nullptr) {
            return false;
        }
        entry taken;
        if (log != nullptr && (event == nullptr || log->seq < event->seq)) {
            logs_.pop(taken);
            lost = lost_;
            lost_ = 0;
        } else {
            events_.pop(taken);
            lost = 0;
        }
        out = std::move(taken.item);
        return true;
    }

    // Exchanges the pending items and the dropped count; each keeps its own numbering, which
    // only has to order the items of one batch.
    void swap(two_lane_queue& other) noexcept {
        events_.swap(other.events_);
        logs_.swap(other.logs_);
        std::swap(lost_, other.lost_);
    }

    size_t size() const { return events_.size() + logs_.size(); }
    bool empty() const { return events_.empty() && logs_.empty(); }

private:
    struct entry {
        uint64_t seq = 0;
        T item{};
    };

    bounded_queue<entry> events_;
    bounded_queue<entry> logs_;
    uint64_t next_ = 0;
    uint32_t lost_ = 0;
};

}  // namespace quarnel
