// Flush-to-zero around rendering: on inside the guard and inside a plug-in's render call,
// and the host's floating-point mode given back unchanged afterwards (x86 only).
#include "platform/vst2/ScopedDenormals.h"
#include "tests/fixtures/FixtureHandle.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <array>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>

namespace moraine {
namespace {

constexpr unsigned kFlushBits = 0x8040;       // flush-to-zero, denormals-are-zero
constexpr unsigned kRoundingBits = 0x6000;    // rounding control
constexpr unsigned kRoundTowardZero = 0x6000; // unusual, so a reset would show
constexpr unsigned kControlBits = ~0x3Fu;     // everything but the sticky exception flags

// Puts the thread in a host's mode for one scope: rounding toward zero, flushing or not.
struct HostMode {
    explicit HostMode(bool flushes) {
        _mm_setcsr((saved & ~(kFlushBits | kRoundingBits)) | kRoundTowardZero |
                   (flushes ? kFlushBits : 0u));
    }
    ~HostMode() { _mm_setcsr(saved); }
    const unsigned saved = _mm_getcsr();
};

float subnormalProduct() {
    volatile float small = 1e-30f;
    volatile float product = small * 1e-10f;
    return product;
}

// Inside the guard (nested too) and inside a render call the thread flushes; only the flush
// bits change, and afterwards the host has its own mode back, whether it flushed or not.
TEST(ScopedDenormals, RenderFlushesAndGivesTheHostItsModeBack) {
    fixture::Probe* probe = fixture::probe();
    ASSERT_NE(probe, nullptr);
    std::string error;
    auto plugin = PluginInstance::load(MORAINE_FIXTURE_PATH, &error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->start();
    std::array<float, 64> left{}, right{};
    float* outputs[] = {left.data(), right.data()};
    for (bool hostFlushes : {false, true}) {
        SCOPED_TRACE(hostFlushes ? "host already flushes" : "host keeps subnormals");
        HostMode host(hostFlushes);
        const unsigned before = _mm_getcsr() & kControlBits;
        {
            ScopedDenormals guard;
            { ScopedDenormals inner; }
            EXPECT_EQ(subnormalProduct(), 0.0f);
            EXPECT_EQ(_mm_getcsr() & kRoundingBits, kRoundTowardZero);
        }
        EXPECT_EQ(_mm_getcsr() & kControlBits, before);
        probe->flushingInRender = probe->subnormalFlushed = false;
        plugin->process(nullptr, outputs, 64);
        EXPECT_TRUE(probe->flushingInRender);
        EXPECT_TRUE(probe->subnormalFlushed);
        EXPECT_EQ(_mm_getcsr() & kControlBits, before);
        EXPECT_EQ(subnormalProduct() == 0.0f, hostFlushes);
    }
}

} // namespace
} // namespace moraine
#endif
