// The 512-slot ring of MIDI events between processEvents and the render loop. Both
// ends run on the audio thread, so it needs no synchronisation.
#pragma once

#include "platform/vst2/aeffect.h"

namespace moraine {

class MidiQueue {
public:
    static constexpr int kSlots = 512;

    // Keeps at most 511 undelivered events: when the ring is full the oldest event is
    // dropped, so a flood costs its oldest notes rather than the whole queue.
    void push(const VstMidiEvent& e) {
        slots_[write_] = e;
        write_ = (write_ + 1) % kSlots;
        if (write_ == read_) read_ = (read_ + 1) % kSlots;
    }
    bool empty() const { return read_ == write_; }
    const VstMidiEvent& front() const { return slots_[read_]; }
    void pop() { read_ = (read_ + 1) % kSlots; }
    // Events still queued at the end of a block are due from frame 0 of the next.
    void rebase(int frames) {
        for (int i = read_; i != write_; i = (i + 1) % kSlots)
            slots_[i].deltaFrames =
                slots_[i].deltaFrames > frames ? slots_[i].deltaFrames - frames : 0;
    }
    void clear() { read_ = write_ = 0; }

private:
    VstMidiEvent slots_[kSlots] = {};
    int read_ = 0;
    int write_ = 0;
};

} // namespace moraine
