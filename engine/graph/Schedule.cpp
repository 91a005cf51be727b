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

    void emit(EvalStep::Op op, EvalStep::Into into, int node, const Link& l) {
        s.steps[s.count++] = {op, into, std::uint8_t(node), l.selector, &l.ramp};
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
        emit(slot.output ? EvalStep::kOpenOutput : EvalStep::kOpen, into, n, l);
        if (++depth > s.depth) s.depth = depth;
        const ModuleNode& node = v.nodes[n];
        for (int i = 0; i < node.controlCount; ++i)
            if (!node.controlLinks[i]->ramp.off) walk(*node.controlLinks[i], EvalStep::kControl);
        for (int i = 0; i < node.signalCount; ++i)
            if (!node.signalLinks[i]->ramp.off) walk(*node.signalLinks[i], EvalStep::kSignal);
        --depth;
        visiting[n] = false;
        emit(EvalStep::kClose, into, n, l);
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
    struct Sums {
        float control, signal;
    };
    // One level per node being computed, plus the results' own.
    Sums stack[kNodeCount + 1];
    int top = 0;
    NodeSlot* const slots = v.table.slot;
    const unsigned stamp = v.table.stamp;
    auto deliver = [&](EvalStep::Into into, float value) {
        if (into == EvalStep::kControl)
            stack[top].control += value;
        else if (into == EvalStep::kSignal)
            stack[top].signal += value;
        else
            results[into - EvalStep::kVoiceOut] = value;
    };
    const EvalStep* step = v.schedule.steps;
    const EvalStep* const end = step + v.schedule.count;
    for (; step != end; ++step) {
        NodeSlot& n = slots[step->node];
        switch (step->op) {
        case EvalStep::kRead:
            deliver(step->into,
                    step->level->current * normalOrZero(n.output(n.module, step->selector)));
            break;
        case EvalStep::kReadZero:
            deliver(step->into, step->level->current * 0.0f);
            break;
        case EvalStep::kCached:
            deliver(step->into, n.cached * step->level->current);
            break;
        case EvalStep::kOpen:
            ++top;
            stack[top] = {0.0f, 0.0f};
            break;
        case EvalStep::kOpenOutput: {
            const float value = n.output(n.module, step->selector);
            ++top;
            stack[top] = {0.0f, value};
            break;
        }
        case EvalStep::kClose: {
            const Sums sums = stack[top--];
            if (std::fabs(sums.control - n.lastControl) > kOffThreshold) {
                if (SetControlFn set = n.setControl) set(n.module, sums.control);
                n.lastControl = sums.control;
            }
            float result = n.process ? n.process(n.module, sums.signal) : sums.signal;
            n.evaluatedStamp = stamp;
            result = normalOrZero(result);
            if (std::fabs(result) > 1000.0f) {
                n.cached = 0.0f;
                deliver(step->into, 0.0f);
            } else {
                n.cached = result;
                deliver(step->into, step->level->current * result);
            }
            break;
        }
        }
    }
}

} // namespace moraine
