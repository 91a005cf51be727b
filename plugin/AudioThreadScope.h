// Marks the calling thread as the one that may touch the graph directly: the audio thread
// inside render, and any thread inside construction, suspend and setSampleRate, which
// hosts call outside render. A member of the plug-in rather than a thread_local: the first
// touch of a thread_local in a loaded library allocates, and that would be in render.
#pragma once

#include "plugin/MorainePlugin.h"

namespace moraine {

class AudioThreadScope {
public:
    explicit AudioThreadScope(Moraine_VST* owner)
        : owner_(owner), saved_(owner->graphThread_.exchange(std::this_thread::get_id(),
                                                             std::memory_order_relaxed)) {}
    ~AudioThreadScope() { owner_->graphThread_.store(saved_, std::memory_order_relaxed); }
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

private:
    Moraine_VST* owner_;
    std::thread::id saved_;
};

} // namespace moraine
