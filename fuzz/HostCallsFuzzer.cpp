// Drives one plug-in instance with an arbitrary sequence of host calls: parameter values
// of any bit pattern, MIDI bytes, block sizes and sample rates. The output must stay
// finite and nothing may crash.
#include "FuzzSupport.h"
#include "plugin/MorainePlugin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using moraine::fuzzing::host;

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    bool empty() const { return size == 0; }
    template <class T> T take() {
        T value{};
        const size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
};

} // namespace

MORAINE_FUZZ_KEEPS_STATE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = moraine::fuzzing::temporaryDataFolder();
    static auto plugin = std::make_unique<moraine::Moraine_VSTEdit>(&host);
    static std::vector<float> in(2048, 0.0f), left(2048), right(2048);
    AEffect* e = plugin->getAeffect();
    // Blocks up to twice the announced size, which the VST layer renders in pieces, and a
    // budget of frames per input: the rendering, not the calls, would set the pace.
    e->dispatcher(e, effSetBlockSize, 0, 1024, nullptr, 0.0f);
    Reader r{data, size};
    int ops = 0, budget = 4096;
    while (!r.empty() && ops++ < 64) {
        switch (r.take<uint8_t>() % 5) {
        case 0: {
            const auto index = r.take<int16_t>();
            e->setParameter(e, index, r.take<float>());
            break;
        }
        case 1: {
            VstMidiEvent m{};
            m.type = kVstMidiType;
            m.byteSize = sizeof m;
            m.deltaFrames = r.take<int16_t>();
            for (char& b : m.midiData) b = char(r.take<uint8_t>());
            struct {
                VstInt32 numEvents;
                VstIntPtr reserved;
                VstEvent* events[1];
            } list{1, 0, {reinterpret_cast<VstEvent*>(&m)}};
            e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
            break;
        }
        case 2: {
            const int frames = std::min(int(r.take<uint16_t>() % 2049), budget);
            budget -= frames;
            in.assign(in.size(), r.take<float>());
            float* inputs[2] = {in.data(), nullptr};
            float* outputs[2] = {left.data(), right.data()};
            e->processReplacing(e, inputs, outputs, frames);
            for (int i = 0; i < frames; ++i)
                if (!std::isfinite(left[i]) || !std::isfinite(right[i])) std::abort();
            break;
        }
        case 3:
            e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, r.take<float>());
            break;
        case 4:
            e->dispatcher(e, effMainsChanged, 0, r.take<uint8_t>() & 1, nullptr, 0.0f);
            break;
        }
    }
    return 0;
}
