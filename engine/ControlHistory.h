// The last 32 distinct values of a control input. Gates and clocks are detected as a
// jump against the value 31 changes back, so a slowly rising control never triggers,
// however far it travels; after a jump the history restarts at the new value.
#pragma once

namespace moraine {

struct ControlHistory {
    float values[32] = {};
    int index = 0;

    void push(float v) {
        index = (index + 1) & 31;
        values[index] = v;
    }
    // The value 31 changes before the latest one.
    float oldest() const { return values[(index + 1) & 31]; }
    void restart(float v) {
        for (float& x : values) x = v;
        index = 0;
    }
};

} // namespace moraine
