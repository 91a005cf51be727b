// Hands a value of fixed size from the host's or the panel's thread to the audio thread.
// The writer copies into the staging slot; the audio thread takes the newest staged value
// at the start of a block. The audio thread never waits: it takes the slot only when a
// whole value is there. Nothing is allocated after construction.
#pragma once

#include <atomic>
#include <thread>

namespace moraine {

template <class T> class StagedCopy {
public:
    // Writer side: any thread but the audio thread, one at a time.
    void stage(const T& value) {
        int s = state_.load(std::memory_order_relaxed);
        for (;;) {
            // The audio thread holds the slot only while it copies it out.
            if (s == kReading || s == kWriting) {
                std::this_thread::yield();
                s = state_.load(std::memory_order_relaxed);
                continue;
            }
            if (state_.compare_exchange_weak(s, kWriting, std::memory_order_acquire)) break;
        }
        slot_ = value;
        state_.store(kReady, std::memory_order_release);
    }

    // Audio thread: copies a staged value into `out`; false when none is waiting.
    bool take(T& out) {
        int ready = kReady;
        if (!state_.compare_exchange_strong(ready, kReading, std::memory_order_acquire))
            return false;
        out = slot_;
        state_.store(kIdle, std::memory_order_release);
        return true;
    }

    // Audio thread: forgets a staged value that something newer has replaced.
    void discard() {
        int ready = kReady;
        state_.compare_exchange_strong(ready, kIdle, std::memory_order_acquire);
    }

private:
    enum { kIdle, kWriting, kReady, kReading };
    T slot_{};
    std::atomic<int> state_{kIdle};
};

} // namespace moraine
