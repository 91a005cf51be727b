// The 512-slot ring of MIDI events between processEvents and the render loop. Both
// ends run on the audio thread, so it needs no synchronisation.
#pragma once

#include "platform/vst2/aeffect.h"

#include <atomic>
#include <cstdint>

namespace moraine {

class MidiQueue {
public:
    static constexpr int kSlots = 512;

    // Holds at most 511 undelivered events (a full ring would look empty). When it is
    // full the new event is dropped and counted: the events already queued are earlier
    // in time, and overwriting them would lose the whole queue.
    bool push(const VstMidiEvent& e) {
        const int next = (write_ + 1) % kSlots;
        if (next == read_) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        slots_[write_] = e;
        write_ = next;
        return true;
    }
    bool empty() const { return read_ == write_; }
    int size() const { return (write_ - read_ + kSlots) % kSlots; }
    const VstMidiEvent& front() const { return slots_[read_]; }
    void pop() { read_ = (read_ + 1) % kSlots; }
    // Events still queued at the end of a block are due from frame 0 of the next.
    void rebase(int frames) {
        for (int i = read_; i != write_; i = (i + 1) % kSlots)
            slots_[i].deltaFrames =
                slots_[i].deltaFrames > frames ? slots_[i].deltaFrames - frames : 0;
    }
    void clear() { read_ = write_ = 0; }
    // Events refused because the ring was full, since construction. Any thread may read it.
    std::uint32_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    VstMidiEvent slots_[kSlots] = {};
    int read_ = 0;
    int write_ = 0;
    std::atomic<std::uint32_t> dropped_{0};
};

} // namespace moraine
