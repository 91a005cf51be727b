// A voice's evaluation order, worked out once whenever its routing changes: the pull
// evaluation (each node computed on first demand from the sums of its links) unrolled
// into a flat list of steps, so that a sample runs down the list without recursion,
// marks or look-ups. The steps, their order and the arithmetic are exactly the pull's.
#pragma once

#include <cstdint>

namespace moraine {

struct ParamRamp;

struct EvalStep {
    enum Op : std::uint8_t {
        kRead,       // a generator read afresh: level x output(selector)
        kReadZero,   // a generator without an output: level x 0
        kCached,     // a node computed earlier in this sample, or (feedback) in the last
        kOpen,       // starts computing a node: sums from 0
        kOpenOutput, // starts computing a generator with control inputs: signal from output()
        kClose,      // hands the sums to the node's module and delivers level x result
    };
    // Where a step's value goes: the control or signal sum of the node being computed,
    // or one of the voice's four results.
    enum Into : std::uint8_t { kControl, kSignal, kVoiceOut, kSend, kLeft, kRight };

    // The sums live in one array: the four results first (voice output, reverb send, left
    // and right direct input), then a control and a signal sum per level of nesting.
    // Which entry a step adds to is known when the schedule is built.
    static constexpr int kFirstSum = 4;

    Op op;
    std::uint8_t node;  // the source node's index
    std::uint8_t sum;   // the entry the delivered value is added to
    std::uint8_t frame; // open and close: the node's own control sum (its signal sum next)
    std::int32_t selector;
    const ParamRamp* level; // the link's ramp, read when the value is delivered
};

// What a resting voice still does each sample, in the order its evaluation would: the
// draws it takes from the shared random sequence, so that the voices still sounding get
// the same noise and dither as if it ran.
enum class RestDraw : std::uint8_t { kNoise, kFilterDither };

struct Schedule {
    // Every link is walked at most once per sample, each walk at most two steps.
    static constexpr int kCapacity = 160;
    EvalStep steps[kCapacity];
    int count = 0;
    int depth = 0;             // deepest nesting of computed nodes
    bool sendIsOutput = true;  // the reverb send reads what the output reads
    bool leftPlugged = false;  // a cord feeds the left direct input
    bool rightPlugged = false; // and the right
    bool stale = true;         // routing or an on/off level changed since it was built
    // Reads something that can start to sound with no change in this voice: the host's
    // audio input, the reverb or the internal clock. Such a voice never rests.
    bool readsOutside = false;
    RestDraw restDraws[2];
    int restDrawCount = 0;
};

} // namespace moraine
