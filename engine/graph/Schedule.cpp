#include "engine/graph/Schedule.h"

#include "engine/graph/Voice.h"

#include <cmath>

namespace moraine {

namespace {

struct Compiler {
    Voice& v;
    Schedule& s;
    bool visiting[kNodeCount] = {};
    bool evaluated[kNodeCount] = {};
    int depth = 0;
    bool noiseRead = false;

    // Where a value delivered at the present nesting goes.
    int sumFor(EvalStep::Into into) const {
        if (into >= EvalStep::kVoiceOut) return into - EvalStep::kVoiceOut;
        return EvalStep::kFirstSum + 2 * (depth - 1) + into;
    }

    void emit(EvalStep::Op op, EvalStep::Into into, int node, const Link& l, int frame = 0) {
        s.steps[s.count++] = {
            op,     std::uint8_t(node), std::uint8_t(sumFor(into)), std::uint8_t(frame), l.selector,
            &l.ramp};
        if (node == kNodeAudioIn1 || node == kNodeAudioIn2 || node == kNodeReverb ||
            node == kNodeClock)
            s.readsOutside = true;
        // The noise draws when first read in a sample, the filter when it is computed.
        if ((op == EvalStep::kRead && node == kNodeNoise && !noiseRead) ||
            (op == EvalStep::kClose && node == kNodeVcf))
            s.restDraws[s.restDrawCount++] =
                node == kNodeNoise ? RestDraw::kNoise : RestDraw::kFilterDither;
        if (node == kNodeNoise) noiseRead = true;
    }

    // What the pull does for one link, recorded instead of done.
    void walk(const Link& l, EvalStep::Into into) {
        const int n = int(l.source - v.nodes);
        const NodeSlot& slot = v.table.slot[n];
        if (slot.output && slot.controlCount == 0) {
            emit(EvalStep::kRead, into, n, l);
            return;
        }
        if (visiting[n] || evaluated[n]) {
            if (!slot.generator)
                emit(EvalStep::kCached, into, n, l);
            else
                emit(slot.output ? EvalStep::kRead : EvalStep::kReadZero, into, n, l);
            return;
        }
        visiting[n] = true;
        const int frame = EvalStep::kFirstSum + 2 * depth;
        emit(slot.output ? EvalStep::kOpenOutput : EvalStep::kOpen, into, n, l, frame);
        if (++depth > s.depth) s.depth = depth;
        const ModuleNode& node = v.nodes[n];
        for (int i = 0; i < node.controlCount; ++i)
            if (!node.controlLinks[i]->ramp.off) walk(*node.controlLinks[i], EvalStep::kControl);
        for (int i = 0; i < node.signalCount; ++i)
            if (!node.signalLinks[i]->ramp.off) walk(*node.signalLinks[i], EvalStep::kSignal);
        --depth;
        visiting[n] = false;
        emit(EvalStep::kClose, into, n, l, frame);
        evaluated[n] = true;
    }
};

} // namespace

void compileSchedule(Voice& v) {
    Schedule& s = v.schedule;
    s.count = 0;
    s.depth = 0;
    s.readsOutside = false;
    s.restDrawCount = 0;
    Compiler c{v, s};
    const Link& out = *v.nodes[kNodeOutput].signalLinks[0];
    c.walk(out, EvalStep::kVoiceOut);
    const Link& send = *v.nodes[kNodeReverb].signalLinks[0];
    s.sendIsOutput = send.source == out.source;
    if (!s.sendIsOutput) c.walk(send, EvalStep::kSend);
    const ModuleNode* zero = &v.nodes[kNodeZero];
    const Link& left = *v.nodes[kNodeLeftInput].signalLinks[0];
    s.leftPlugged = left.source != zero;
    if (s.leftPlugged) c.walk(left, EvalStep::kLeft);
    const Link& right = *v.nodes[kNodeRightInput].signalLinks[0];
    s.rightPlugged = right.source != zero;
    if (s.rightPlugged) c.walk(right, EvalStep::kRight);
    s.stale = false;
    v.offChanged = false;
}

void runSchedule(Voice& v, float results[4]) {
    // The results start at -0, which adds to any value without changing a bit of it; a
    // node's sums are set when it is opened.
    float sums[EvalStep::kFirstSum + 2 * kNodeCount];
    for (int i = 0; i < EvalStep::kFirstSum; ++i) sums[i] = -0.0f;
    NodeSlot* const slots = v.table.slot;
    const unsigned stamp = v.table.stamp;
    const EvalStep* step = v.schedule.steps;
    const EvalStep* const end = step + v.schedule.count;
    for (; step != end; ++step) {
        NodeSlot& n = slots[step->node];
        switch (step->op) {
        case EvalStep::kRead:
            sums[step->sum] +=
                step->level->current * normalOrZero(n.output(n.module, step->selector));
            break;
        case EvalStep::kReadZero:
            sums[step->sum] += step->level->current * 0.0f;
            break;
        case EvalStep::kCached:
            sums[step->sum] += n.cached * step->level->current;
            break;
        case EvalStep::kOpen:
            sums[step->frame] = 0.0f;
            sums[step->frame + 1] = 0.0f;
            break;
        case EvalStep::kOpenOutput: {
            const float value = n.output(n.module, step->selector);
            sums[step->frame] = 0.0f;
            sums[step->frame + 1] = value;
            break;
        }
        case EvalStep::kClose: {
            const float control = sums[step->frame], signal = sums[step->frame + 1];
            if (std::fabs(control - n.lastControl) > kOffThreshold) {
                if (SetControlFn set = n.setControl) set(n.module, control);
                n.lastControl = control;
            }
            float result = n.process ? n.process(n.module, signal) : signal;
            n.evaluatedStamp = stamp;
            result = normalOrZero(result);
            if (std::fabs(result) > 1000.0f) {
                n.cached = 0.0f;
                sums[step->sum] += 0.0f;
            } else {
                n.cached = result;
                sums[step->sum] += step->level->current * result;
            }
            break;
        }
        }
    }
    for (int i = 0; i < 4; ++i) results[i] = sums[i];
}

} // namespace moraine
