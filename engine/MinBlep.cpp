#include "engine/MinBlep.h"

#include "platform/Diagnostics.h"
#include "platform/Resources.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace moraine {

namespace {

constexpr const char* kResourceName = "MB.txt";

// Hands out the text line by line; each line is copied so that sscanf stops at its end
// and never reads past the embedded bytes.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool next(std::string& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line.assign(text_.substr(pos_, end - pos_));
        pos_ = end + 1;
        ++number_;
        return true;
    }
    int number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

[[noreturn]] void fail(const std::string& why) {
    throw std::runtime_error("minBLEP table: " + why);
}

// The number at the start of a line (after blanks), read the same way whatever locale
// the host has set. `rest` is where the number ended.
bool leadingNumber(const std::string& line, double& v, const char** rest = nullptr) {
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    const auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc() || !std::isfinite(v)) return false;
    if (rest) *rest = r.ptr;
    return true;
}

// A value line holds its number and nothing else.
bool wholeNumber(const std::string& line, double& v) {
    const char* rest = nullptr;
    if (!leadingNumber(line, v, &rest)) return false;
    const char* end = line.data() + line.size();
    while (rest < end && (*rest == ' ' || *rest == '\t' || *rest == '\r')) ++rest;
    return rest == end;
}

float headerNumber(LineReader& in, std::string& line, const char* what) {
    double v = 0.0;
    if (!in.next(line) || !leadingNumber(line, v))
        fail(std::string("the ") + what + " line is missing or malformed");
    return float(v);
}

} // namespace

MinBlepTable parseMinBlepTable(std::string_view text) {
    if (text.empty()) fail(std::string(kResourceName) + " is missing or empty");
    MinBlepTable t;
    LineReader in(text);
    std::string line;
    t.corner = headerNumber(in, line, "corner");
    t.oversampling = headerNumber(in, line, "oversampling");
    t.nzc = headerNumber(in, line, "zero-crossings");
    if (!(t.nzc > 0.0f)) fail("the zero-crossings line must be positive");
    t.twiceNzc = 2.0f * t.nzc;
    // "1409.0 % size" reads as 1409: the integer conversion stops at the point.
    double size = 0.0;
    if (!in.next(line) || !leadingNumber(line, size) || size < 0.0 || size > 1e9)
        fail("the size line is missing or malformed");
    t.size = int(size);
    if (t.size < kMinBlepSpan)
        fail("it holds " + std::to_string(t.size) + " values; the oscillators read " +
             std::to_string(kMinBlepSpan));
    // Every value takes at least two characters; a larger count cannot be in the text.
    if (std::size_t(t.size) > text.size() / 2)
        fail("the size line says " + std::to_string(t.size) + " values, more than the text holds");

    t.values.resize(std::size_t(t.size));
    for (int k = 0; k < t.size; ++k) {
        double v = 0.0;
        if (!in.next(line))
            fail("the size line says " + std::to_string(t.size) + " values, the text holds " +
                 std::to_string(k));
        if (!wholeNumber(line, v)) fail("line " + std::to_string(in.number()) + " is not a number");
        t.values[std::size_t(k)] = float(v);
    }

    for (int i = 0; i < kMinBlepSpan; ++i) t.residual[i] = 1.0f - t.values[std::size_t(i)];
    t.residual[kMinBlepSpan] = t.residual[kMinBlepSpan + 1] = 0.0f;
    // The residual is read between points, so its sum over one step, averaged over the
    // sub-sample offset, is the area under the straight lines through the points.
    double area = 0.0;
    for (int i = 0; i < kMinBlepSpan; ++i)
        area += 0.5 * (double(t.residual[i]) + double(t.residual[i + 1]));
    t.residualMean = float(area / kMinBlepOversampling);
    return t;
}

const MinBlepTable& minBlepTable() {
    // A throwing initialiser leaves the static unbuilt, so every later oscillator fails
    // the same way.
    static const MinBlepTable table = [] {
        try {
            return parseMinBlepTable(findResource(kResourceName));
        } catch (const std::exception& e) {
            diagnostic("cannot build the oscillators: %s\n", e.what());
            throw;
        }
    }();
    return table;
}

} // namespace moraine
