#include "engine/LookupTables.h"

#include <numbers>

namespace moraine {

namespace {

template <class F> LookupTable<8192> periodTable(F f) {
    LookupTable<8192> t{};
    const float step = float(2.0 * std::numbers::pi / 8192.0);
    for (int i = 0; i <= 8192; ++i) t.values[i] = f(float(i) * step);
    t.values[8193] = t.values[0];
    return t;
}

} // namespace

const SineTable& sineTable() {
    static const SineTable table = periodTable([](float x) { return std::sin(x); });
    return table;
}

const CosineTable& cosineTable() {
    static const CosineTable table = periodTable([](float x) { return std::cos(x); });
    return table;
}

} // namespace moraine
