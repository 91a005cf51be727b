// The instrument's one pseudo-random sequence. The filter's dither and the noise
// generator draw from it in turn, so every draw moves the sequence on for all of them.
//
// It is the sequence of the Microsoft C runtime's rand(): a 32-bit linear congruence
// started at seed 1 and never reseeded, each result bits 16..30 of the state, 0..32767.
// The circuit's scalings (x / 32768 for a value in [0, 1)) assume exactly that range.
#pragma once

#include <atomic>
#include <cstdint>

namespace moraine {

struct RandSequence {
    static constexpr int kMax = 32767;
    static constexpr std::uint32_t kSeed = 1;

    static constexpr std::uint32_t next(std::uint32_t state) { return state * 214013u + 2531011u; }
    static constexpr int value(std::uint32_t state) { return int((state >> 16) & 0x7FFFu); }
};

namespace detail {
// Process-wide. Relaxed loads and stores cost what plain ones do; two instances rendering
// on different threads at once may repeat a value, which noise and dither do not mind.
inline std::atomic<std::uint32_t> randState{RandSequence::kSeed};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
} // namespace detail

// The next value of the shared sequence, 0..32767.
inline int sharedRand() {
    const std::uint32_t s = RandSequence::next(detail::randState.load(std::memory_order_relaxed));
    detail::randState.store(s, std::memory_order_relaxed);
    return RandSequence::value(s);
}

// Where the shared sequence stands: the value sharedRand() gives next is
// RandSequence::value(RandSequence::next(sharedRandState())).
inline std::uint32_t sharedRandState() {
    return detail::randState.load(std::memory_order_relaxed);
}

} // namespace moraine
