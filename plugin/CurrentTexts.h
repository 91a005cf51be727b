// The name, author, date and notes of the patch last applied. A MIDI program change
// applies a patch on the audio thread, while the host and the panel read the texts on
// theirs, so the texts live in fixed buffers (nothing allocated when they change) behind
// a sequence counter: a reader that overlapped a change reads again.
#pragma once

#include "patch/PatchRecord.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace moraine {

struct PatchTexts {
    std::string name, author, date, notes;
};

class CurrentTexts {
public:
    static constexpr int kFields = 4;
    static constexpr int kSize = kPatchTextFieldLimit + 1;

    // Longer texts are cut to the field limit. Two writers take turns.
    void store(const std::string* fields[kFields]) {
        unsigned s = sequence_.load(std::memory_order_relaxed);
        for (;;) {
            if (s & 1u) {
                std::this_thread::yield();
                s = sequence_.load(std::memory_order_relaxed);
                continue;
            }
            if (sequence_.compare_exchange_weak(s, s + 1, std::memory_order_acquire)) break;
        }
        std::atomic_thread_fence(std::memory_order_release);
        for (int f = 0; f < kFields; ++f) {
            const size_t n = std::min(fields[f]->size(), size_t(kPatchTextFieldLimit));
            for (size_t i = 0; i < n; ++i) put(f, i, (*fields[f])[i]);
            put(f, n, '\0');
        }
        sequence_.store(s + 2, std::memory_order_release);
    }

    void store(const std::string& name, const std::string& author, const std::string& date,
               const std::string& notes) {
        const std::string* fields[kFields] = {&name, &author, &date, &notes};
        store(fields);
    }

    PatchTexts load() const {
        PatchTexts out;
        std::string* fields[kFields] = {&out.name, &out.author, &out.date, &out.notes};
        for (;;) {
            const unsigned before = sequence_.load(std::memory_order_acquire);
            if (before & 1u) {
                std::this_thread::yield();
                continue;
            }
            for (int f = 0; f < kFields; ++f) {
                fields[f]->clear();
                for (size_t i = 0; i < size_t(kSize); ++i) {
                    const char c = get(f, i);
                    if (!c) break;
                    fields[f]->push_back(c);
                }
            }
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) return out;
        }
    }

private:
    // Each character is an atomic access, so an overlapped read is a stale read the
    // counter catches, never a data race.
    void put(int f, size_t i, char c) {
        std::atomic_ref<char>(text_[f][i]).store(c, std::memory_order_relaxed);
    }
    char get(int f, size_t i) const {
        return std::atomic_ref<char>(const_cast<char&>(text_[f][i])).load(std::memory_order_relaxed);
    }

    char text_[kFields][kSize] = {};
    std::atomic<unsigned> sequence_{0};
};

} // namespace moraine
