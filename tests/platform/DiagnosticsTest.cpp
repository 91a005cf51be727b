// Diagnostic lines never reach standard output: a host may be reading it.
#include "platform/Diagnostics.h"

#include <gtest/gtest.h>

#include <string>

namespace moraine {
namespace {

TEST(Diagnostics, SilentUntilSwitchedOnAndThenOnStandardErrorOnly) {
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        const bool was = diagnosticsOn();
        setDiagnostics(on);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        diagnostic("saved patch %s\n", "0/0/3.qix");
        const std::string err = ::testing::internal::GetCapturedStderr();
        const std::string out = ::testing::internal::GetCapturedStdout();
        setDiagnostics(was);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, on ? "saved patch 0/0/3.qix\n" : "");
    }
}

} // namespace
} // namespace moraine
