// Diagnostic lines switched on for one test, as MORAINE_VERBOSE=1 switches them on for a
// process, and back to what they were afterwards.
#pragma once

#include "platform/Diagnostics.h"

namespace moraine::testing {

class DiagnosticsOn {
public:
    DiagnosticsOn() : was_(diagnosticsOn()) { setDiagnostics(true); }
    ~DiagnosticsOn() { setDiagnostics(was_); }
    DiagnosticsOn(const DiagnosticsOn&) = delete;
    DiagnosticsOn& operator=(const DiagnosticsOn&) = delete;

private:
    bool was_;
};

} // namespace moraine::testing
