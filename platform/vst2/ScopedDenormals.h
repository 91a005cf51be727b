// Flush-to-zero for the length of one render call. Subnormal floats cost a hundred times a
// normal operation on many CPUs, and decaying filters and reverbs produce them constantly;
// the host's own floating-point mode is put back exactly as it was when the call returns.
#pragma once

#include <cstdint>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

class ScopedDenormals {
public:
    ScopedDenormals() noexcept : saved(read()) { write(saved | kFlushBits); }
    ~ScopedDenormals() { write(saved); }
    ScopedDenormals(const ScopedDenormals&) = delete;
    ScopedDenormals& operator=(const ScopedDenormals&) = delete;

    // True when the calling thread currently flushes subnormal results to zero.
    static bool isFlushing() noexcept { return kFlushBits != 0 && (read() & kFlushBits) != 0; }

private:
#if defined(__SSE__) || defined(__x86_64__)
    using State = unsigned int;
    // MXCSR: bit 15 flush-to-zero, bit 6 denormals-are-zero.
    static constexpr State kFlushBits = 0x8040;
    static State read() noexcept {
        return _mm_getcsr();
    }
    static void write(State s) noexcept {
        _mm_setcsr(s);
    }
#elif defined(__aarch64__)
    using State = std::uint64_t;
    // FPCR bit 24 (FZ) flushes both subnormal inputs and results.
    static constexpr State kFlushBits = State(1) << 24;
    static State read() noexcept {
        State s;
        asm volatile("mrs %0, fpcr" : "=r"(s));
        return s;
    }
    static void write(State s) noexcept {
        asm volatile("msr fpcr, %0" : : "r"(s));
    }
#else
    // No portable control on other processors: the guard does nothing there.
    using State = unsigned int;
    static constexpr State kFlushBits = 0;
    static State read() noexcept {
        return 0;
    }
    static void write(State) noexcept {}
#endif

    State saved;
};
