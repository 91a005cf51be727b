// The band-limited step that the oscillators' sawtooth and pulse add at every edge: a
// minimum-phase, integrated windowed sinc at 64 points per sample, shared by every
// oscillator of every voice and read-only once parsed. tools/moraine-minblep writes it as
// resources/MB.txt; the plug-in parses that text once per process.
#pragma once

#include <string_view>
#include <vector>

namespace moraine {

constexpr int kMinBlepOversampling = 64; // table points per sample
// The points the oscillators read: 22 samples. A pending edge this old has settled.
constexpr int kMinBlepSpan = 22 * kMinBlepOversampling;

struct MinBlepTable {
    // The stored header, kept as parsed; only twiceNzc reaches the oscillators.
    int size = 0;
    float nzc = 0.0f;
    float twiceNzc = 0.0f; // the oldest edge, in samples, that is still queued
    float corner = 0.0f;
    float oversampling = 0.0f;
    std::vector<float> values; // the `size` step values as stored

    // 1 - step at each point of the span, then two zeros (the step has settled): the
    // residual an edge adds. A pending edge that outlives the span (it can wait behind an
    // older one in its ring) reads 0 instead of running off the end.
    float residual[kMinBlepSpan + 2] = {};
    // The residuals of one step summed over its span, averaged over where the edge falls
    // within a sample (in samples): the mean a sawtooth gains per cycle from its edges.
    float residualMean = 0.0f;

    // Residual at `position` table points after the edge (0 <= position), linear between
    // the two nearest points.
    float residualAt(float position) const {
        int i = int(position);
        const float fraction = position - float(i);
        if (i > kMinBlepSpan) i = kMinBlepSpan;
        return residual[i] + (residual[i + 1] - residual[i]) * fraction;
    }
};

// Parses the stored form: four header lines (corner, oversampling, zero crossings, size,
// each a number and a label), then `size` lines of one value each. Throws
// std::runtime_error when the text is missing, malformed or holds fewer values than the
// oscillators read (kMinBlepSpan).
MinBlepTable parseMinBlepTable(std::string_view text);

// The embedded table ("MB.txt"), parsed on first use. Throws as parseMinBlepTable does
// (and says why on the standard output), so that building an oscillator without its
// table fails instead of reading past it.
const MinBlepTable& minBlepTable();

} // namespace moraine
