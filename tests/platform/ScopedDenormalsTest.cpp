// Flush-to-zero around rendering: on inside the guard and inside a plug-in's render call,
// and the host's floating-point mode given back unchanged afterwards.
#include "platform/vst2/ScopedDenormals.h"
#include "tests/fixtures/FixtureHandle.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <array>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MORAINE_HAVE_MXCSR 1
#endif

namespace moraine {
namespace {

#ifdef MORAINE_HAVE_MXCSR
constexpr unsigned kFlushBits = 0x8040;       // flush-to-zero, denormals-are-zero
constexpr unsigned kRoundingBits = 0x6000;    // rounding control
constexpr unsigned kRoundTowardZero = 0x6000; // unusual, so a reset would show
constexpr unsigned kControlBits = ~0x3Fu;     // everything but the sticky exception flags

// Puts the thread in a given mode for one scope, as a host might have it.
class HostMode {
public:
    explicit HostMode(unsigned csr) : saved_(_mm_getcsr()) { _mm_setcsr(csr); }
    ~HostMode() { _mm_setcsr(saved_); }
    HostMode(const HostMode&) = delete;
    HostMode& operator=(const HostMode&) = delete;

private:
    unsigned saved_;
};

unsigned plainHostMode() {
    return (_mm_getcsr() & ~(kFlushBits | kRoundingBits)) | kRoundTowardZero;
}

float subnormalProduct() {
    volatile float small = 1e-30f;
    volatile float product = small * 1e-10f;
    return product;
}
#endif

TEST(ScopedDenormals, FlushesInsideAndRestoresTheModeAfter) {
#ifndef MORAINE_HAVE_MXCSR
    GTEST_SKIP() << "the mode register is checked on x86 only";
#else
    HostMode host(plainHostMode());
    ASSERT_FALSE(ScopedDenormals::isFlushing());
    ASSERT_NE(subnormalProduct(), 0.0f);
    const unsigned before = _mm_getcsr() & kControlBits;
    {
        ScopedDenormals guard;
        EXPECT_TRUE(ScopedDenormals::isFlushing());
        EXPECT_EQ(subnormalProduct(), 0.0f);
        EXPECT_EQ(_mm_getcsr() & kRoundingBits, kRoundTowardZero) << "only the flush bits change";
        { ScopedDenormals inner; }
        EXPECT_TRUE(ScopedDenormals::isFlushing()) << "an inner guard gives back the outer mode";
    }
    EXPECT_EQ(_mm_getcsr() & kControlBits, before);
    EXPECT_FALSE(ScopedDenormals::isFlushing());
    EXPECT_NE(subnormalProduct(), 0.0f);
#endif
}

TEST(ScopedDenormals, RenderFlushesAndGivesTheHostItsModeBack) {
#ifndef MORAINE_HAVE_MXCSR
    GTEST_SKIP() << "the mode register is checked on x86 only";
#else
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
        HostMode host(plainHostMode() | (hostFlushes ? kFlushBits : 0u));
        const unsigned before = _mm_getcsr() & kControlBits;
        probe->flushingInRender = probe->subnormalFlushed = false;
        plugin->process(nullptr, outputs, 64);
        EXPECT_TRUE(probe->flushingInRender);
        EXPECT_TRUE(probe->subnormalFlushed);
        EXPECT_EQ(_mm_getcsr() & kControlBits, before);
    }
#endif
}

} // namespace
} // namespace moraine
