// Hands parameter changes and notes from the host's and the editor's threads to the
// audio thread. The graph (ramp lists, cords, voice tables) is touched only by the
// audio thread, so nothing is ever half-rewired while a voice is evaluated. Bounded,
// lock-free, many producers and one consumer; nothing is allocated after construction.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace moraine {

struct ControlCommand {
    enum Kind : std::int32_t {
        Parameter,
        Note,
        PatchFadeOut,
        EnvelopeTrigger,
        PortamentoTrigger,
        ResetVoices
    } kind = Parameter;
    std::int32_t index = 0; // parameter index or note
    float value = 0.0f;     // engine value or velocity
};

class ControlQueue {
public:
    explicit ControlQueue(std::size_t capacityPowerOfTwo = 4096)
        : mask_(capacityPowerOfTwo - 1), cells_(new Cell[capacityPowerOfTwo]) {
        for (std::size_t i = 0; i <= mask_; ++i)
            cells_[i].sequence.store(i, std::memory_order_relaxed);
    }

    // False when full; the caller then asks for a full resynchronisation instead.
    bool push(const ControlCommand& c) {
        std::size_t pos = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[pos & mask_];
            std::size_t seq = cell.sequence.load(std::memory_order_acquire);
            std::intptr_t diff = std::intptr_t(seq) - std::intptr_t(pos);
            if (diff == 0) {
                if (tail_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    cell.command = c;
                    cell.sequence.store(pos + 1, std::memory_order_release);
                    return true;
                }
            } else if (diff < 0) {
                return false;
            } else {
                pos = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    // Single consumer.
    bool pop(ControlCommand& out) {
        Cell& cell = cells_[head_ & mask_];
        std::size_t seq = cell.sequence.load(std::memory_order_acquire);
        if (std::intptr_t(seq) - std::intptr_t(head_ + 1) < 0) return false;
        out = cell.command;
        cell.sequence.store(head_ + mask_ + 1, std::memory_order_release);
        ++head_;
        return true;
    }

private:
    struct Cell {
        std::atomic<std::size_t> sequence{0};
        ControlCommand command;
    };
    std::size_t mask_;
    std::unique_ptr<Cell[]> cells_;
    alignas(64) std::atomic<std::size_t> tail_{0};
    alignas(64) std::size_t head_ = 0;
};

} // namespace moraine
