#include "engine/graph/RampList.h"

#include <cmath>

namespace moraine {

namespace {

bool rampFinished(const ParamRamp& r) {
    float inc = r.increment;
    return std::fabs(inc) < kOffThreshold || (inc > 0 && r.current > r.target) ||
           (inc < 0 && r.current < r.target);
}

} // namespace

void setRampTargetAndIncrement(RampList& list, ParamRamp& r, float target, float increment) {
    // A target that is not finite settles at 0 on the next advance.
    if (!std::isfinite(target) || !std::isfinite(increment)) {
        target = 0.0f;
        increment = 0.0f;
    }
    r.target = target;
    r.increment = increment;
    if (r.settled) {
        r.settled = 0;
        r.nextRamp = list.rampList;
        list.rampList = &r;
    }
}

void setRampTarget(RampList& list, ParamRamp& r, float target) {
    float increment = (target - r.current) * list.rampRate / float(list.sampleRate);
    setRampTargetAndIncrement(list, r, target, increment);
}

void advanceRamps(RampList& list) {
    ParamRamp** link = &list.rampList;
    while (ParamRamp* r = *link) {
        const bool wasOff = r->off;
        r->current = normalOrZero(r->current + r->increment);
        r->off = std::fabs(r->current) < kOffThreshold;
        if (rampFinished(*r)) {
            r->current = normalOrZero(r->target);
            r->off = std::fabs(r->current) < kOffThreshold;
            r->settled = 1;
            *link = r->nextRamp;
            r->nextRamp = nullptr;
        } else {
            link = &r->nextRamp;
        }
        if (r->off != wasOff) list.offChanged = true;
    }
}

void settleRamps(RampList& list) {
    list.offChanged = true;
    while (ParamRamp* r = list.rampList) {
        r->current = normalOrZero(r->target);
        r->off = std::fabs(r->current) < kOffThreshold;
        r->settled = 1;
        list.rampList = r->nextRamp;
        r->nextRamp = nullptr;
    }
}

} // namespace moraine
