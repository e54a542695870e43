#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// A lock-free byte ring for exactly one producer thread and one consumer thread. The counters
// only grow; a slot is free once the consumer's counter has passed it.
class RingBuffer {
public:
    explicit RingBuffer(std::size_t capacity) : data_(std::max<std::size_t>(capacity, 1)) {}

    std::size_t Capacity() const { return data_.size(); }

    // Either side may ask; the answer is a lower bound for the consumer and an upper bound for
    // the producer (or the other way round for Free).
    std::size_t Available() const {
        return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                        read_.load(std::memory_order_acquire));
    }
    std::size_t Free() const { return Capacity() - Available(); }

    // Producer only. Copies up to `bytes`, as much as is free; returns the count copied.
    std::size_t Write(const std::uint8_t* src, std::size_t bytes) {
        const std::uint64_t w = written_.load(std::memory_order_relaxed);
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        const std::size_t n = std::min(bytes, Capacity() - static_cast<std::size_t>(w - r));
        Copy(w, n, [&](std::size_t at, std::size_t off, std::size_t len) {
            std::memcpy(data_.data() + at, src + off, len);
        });
        written_.store(w + n, std::memory_order_release);
        return n;
    }

    // Consumer only. Copies up to `bytes` of what is waiting; returns the count copied.
    std::size_t Read(std::uint8_t* dst, std::size_t bytes) {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        const std::uint64_t w = written_.load(std::memory_order_acquire);
        const std::size_t n = std::min(bytes, static_cast<std::size_t>(w - r));
        Copy(r, n, [&](std::size_t at, std::size_t off, std::size_t len) {
            std::memcpy(dst + off, data_.data() + at, len);
        });
        read_.store(r + n, std::memory_order_release);
        return n;
    }

    // Consumer only: drops what is waiting.
    void Clear() {
        read_.store(written_.load(std::memory_order_acquire), std::memory_order_release);
    }

private:
    template <class F> void Copy(std::uint64_t pos, std::size_t n, F&& f) {
        const std::size_t at = static_cast<std::size_t>(pos % Capacity());
        const std::size_t first = std::min(n, Capacity() - at);
        if (first > 0)
            f(at, 0, first);
        if (n > first)
            f(0, first, n - first);
    }

    std::vector<std::uint8_t> data_;
    alignas(64) std::atomic<std::uint64_t> written_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};
