#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <new>

namespace Platform {

/// A bounded lock-free queue for exactly one producer thread and one consumer thread.
/// The storage is allocated once by the constructor; Push, Front and Pop never allocate,
/// lock or block, so either side may be a real-time thread. T must be trivially copyable.
template <typename T>
class SpscQueue {
public:
    /// capacity is rounded up to a power of two.
    explicit SpscQueue(std::size_t capacity)
        : capacity_(RoundUp(capacity)), mask_(capacity_ - 1), items_(new T[capacity_]())
    {
    }
    SpscQueue(const SpscQueue&) = delete;
    SpscQueue& operator=(const SpscQueue&) = delete;

    /// Producer: appends item; false (nothing changed) when the queue is full.
    bool Push(const T& item) noexcept
    {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) >= capacity_)
            return false;
        items_[tail & mask_] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    /// Consumer: the oldest item, or nullptr when empty. Valid until the next Pop.
    const T* Front() const noexcept
    {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return nullptr;
        return &items_[head & mask_];
    }

    /// Consumer: removes the oldest item; false when empty.
    bool Pop(T& item) noexcept
    {
        const T* front = Front();
        if (!front)
            return false;
        item = *front;
        Drop();
        return true;
    }

    /// Consumer: removes the oldest item, which Front() showed to exist.
    void Drop() noexcept { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

    /// Items pushed so far and items popped so far (either thread; a snapshot).
    std::size_t Pushed() const noexcept { return tail_.load(std::memory_order_acquire); }
    std::size_t Popped() const noexcept { return head_.load(std::memory_order_acquire); }

private:
    static std::size_t RoundUp(std::size_t value)
    {
        std::size_t result = 1;
        while (result < value)
            result <<= 1;
        return result;
    }

    const std::size_t capacity_;
    const std::size_t mask_;
    std::unique_ptr<T[]> items_;
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

} // namespace Platform
