// Measuring rendered signals: spectra through FFTW, levels, frequencies, aliasing.
#pragma once

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <numeric>
#include <vector>

namespace moraine::testing {

inline double toDb(double ratio) { return 20.0 * std::log10(std::max(ratio, 1e-30)); }

// Magnitude spectrum (bins 0 .. n/2) of `x` under a 4-term Blackman-Harris window, whose
// side lobes (-92 dB) stay below the levels the aliasing tests look for.
inline std::vector<double> magnitudeSpectrum(const std::vector<float>& x) {
    const int n = int(x.size());
    float* in = fftwf_alloc_real(std::size_t(n));
    fftwf_complex* out = fftwf_alloc_complex(std::size_t(n / 2 + 1));
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    const double a0 = 0.35875, a1 = 0.48829, a2 = 0.14128, a3 = 0.01168;
    double windowSum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * std::numbers::pi * i / n;
        const double w = a0 - a1 * std::cos(t) + a2 * std::cos(2 * t) - a3 * std::cos(3 * t);
        windowSum += w;
        in[i] = float(x[std::size_t(i)] * w);
    }
    fftwf_execute(plan);
    std::vector<double> mag(std::size_t(n / 2 + 1));
    for (int k = 0; k <= n / 2; ++k)
        mag[std::size_t(k)] = std::hypot(out[k][0], out[k][1]) * 2.0 / windowSum;
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
    return mag;
}

// The frequency of the strongest component above `minHz`, refined by a parabola through
// the peak bin and its neighbours (in log magnitude).
inline double peakFrequency(const std::vector<float>& x, double rate, double minHz = 1.0) {
    const auto mag = magnitudeSpectrum(x);
    const double binHz = rate / double(x.size());
    std::size_t best = std::max<std::size_t>(1, std::size_t(minHz / binHz));
    for (std::size_t k = best; k + 1 < mag.size(); ++k)
        if (mag[k] > mag[best]) best = k;
    if (best == 0 || best + 1 >= mag.size()) return double(best) * binHz;
    const double a = std::log(mag[best - 1] + 1e-30), b = std::log(mag[best] + 1e-30),
                 c = std::log(mag[best + 1] + 1e-30);
    const double offset = 0.5 * (a - c) / (a - 2 * b + c);
    return (double(best) + offset) * binHz;
}

// The strongest component that is not within `guardBins` of a harmonic of `f0` (and not
// DC), relative to the fundamental, in dB. Aliases of a band-limited waveform show here.
inline double worstNonHarmonicDb(const std::vector<float>& x, double rate, double f0,
                                 int guardBins = 6) {
    const auto mag = magnitudeSpectrum(x);
    const double binHz = rate / double(x.size());
    auto nearHarmonic = [&](std::size_t k) {
        const double f = double(k) * binHz;
        const double h = std::round(f / f0);
        return h >= 1.0 && std::fabs(f - h * f0) <= guardBins * binHz;
    };
    const std::size_t fundamental = std::size_t(std::round(f0 / binHz));
    double ref = 0.0;
    for (std::size_t k = fundamental - 2; k <= fundamental + 2; ++k) ref = std::max(ref, mag[k]);
    double worst = 0.0;
    for (std::size_t k = std::size_t(guardBins) + 1; k < mag.size(); ++k)
        if (!nearHarmonic(k)) worst = std::max(worst, mag[k]);
    return toDb(worst / ref);
}

inline double rms(const std::vector<float>& x) {
    double s = 0.0;
    for (float v : x) s += double(v) * v;
    return x.empty() ? 0.0 : std::sqrt(s / double(x.size()));
}

inline double mean(const std::vector<float>& x) {
    return x.empty() ? 0.0 : std::accumulate(x.begin(), x.end(), 0.0) / double(x.size());
}

// Frequency from rising crossings of the signal's mean, interpolated between samples;
// good for clean periodic signals over many periods.
inline double crossingFrequency(const std::vector<float>& x, double rate) {
    const double m = mean(x);
    double first = -1.0, last = -1.0;
    int count = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double a = x[i - 1] - m, b = x[i] - m;
        if (a < 0.0 && b >= 0.0) {
            const double t = double(i - 1) + a / (a - b);
            if (first < 0.0) first = t;
            else ++count;
            last = t;
        }
    }
    return count > 0 ? rate * count / (last - first) : 0.0;
}

} // namespace moraine::testing
