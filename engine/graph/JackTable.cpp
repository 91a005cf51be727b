// Look-ups over the jack table. The table is small and constant, so a linear search
// is all a code look-up needs; nothing here runs per sample.
#include "engine/graph/JackTable.h"

namespace moraine {

namespace {

constexpr FourCC kBidirectional[] = {fourcc("mlt1"), fourcc("mlt2"), fourcc("mlt3"),
                                     fourcc("mlt4"), fourcc("pl50"), fourcc("pl52"),
                                     fourcc("pl51"), fourcc("pl24")};

constexpr bool codesAreUnique() {
    for (int i = 0; i <= kJackCount; ++i) {
        if (kJackTable[i].code == 0 || kJackTable[i].name == nullptr) return false;
        for (int j = i + 1; j <= kJackCount; ++j)
            if (kJackTable[i].code == kJackTable[j].code) return false;
    }
    return true;
}

// A duplicated code would make jackNumber ambiguous and silently misroute cords.
static_assert(codesAreUnique(), "every jack needs its own, non-zero code");
static_assert(kJackTable[0].code == fourcc("noco"));
static_assert(kJackTable[kJackCount].code == fourcc("mlt4"));

} // namespace

const JackInfo& jackInfo(int number) {
    if (number < 0 || number > kJackCount) return kJackTable[0];
    return kJackTable[number];
}

int jackNumber(FourCC code) {
    for (int i = 0; i <= kJackCount; ++i)
        if (kJackTable[i].code == code) return i;
    return -1;
}

bool isBidirectionalJack(FourCC code) {
    for (FourCC c : kBidirectional)
        if (c == code) return true;
    return false;
}

} // namespace moraine
