// moraine-minblep: computes the band-limited step that the oscillators' sawtooth and
// pulse add at each edge, and prints it as the text table in resources/MB.txt.
//
//   moraine-minblep > resources/MB.txt
//
// A Blackman-windowed sinc, 11 zero crossings of the sample rate on each side (22
// samples in all) at 64 points per sample, with its cutoff below the sample rate's
// Nyquist frequency, is turned into its minimum-phase form through the real cepstrum, so
// that the step rises at once instead of ringing ahead of the edge; its running sum is
// the step, scaled to end at exactly 1. The output depends only on the constants below,
// so running the tool again reproduces the checked-in file.
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kOversampling = 64;  // table points per sample
constexpr int kZeroCrossings = 11; // sample-rate zero crossings on each side of the sinc
constexpr double kCutoff = 0.8;    // of the Nyquist frequency
constexpr int kTaps = 2 * kZeroCrossings * kOversampling; // the sinc spans 22 samples
constexpr int kFftSize = 1 << 17; // long enough that the cepstrum barely aliases
// Keeps the logarithm finite at the window's spectral zeros; far below anything that
// reaches the table's printed digits.
constexpr double kMagnitudeFloor = 1e-12;

double sinc(double x) {
    if (x == 0.0) return 1.0;
    const double a = std::numbers::pi * x;
    return std::sin(a) / a;
}

double blackman(int n, int length) {
    const double t = 2.0 * std::numbers::pi * n / length;
    return 0.42 - 0.5 * std::cos(t) + 0.08 * std::cos(2.0 * t);
}

// The windowed sinc, taps 0 .. kTaps with the centre at kTaps / 2, in the time unit of
// the table (1 / kOversampling sample).
std::vector<double> windowedSinc() {
    std::vector<double> h(kTaps + 1);
    for (int n = 0; n <= kTaps; ++n) {
        const double t = double(n - kTaps / 2) / kOversampling; // in samples
        h[std::size_t(n)] = kCutoff * sinc(kCutoff * t) * blackman(n, kTaps);
    }
    return h;
}

// In-place complex DFT of `x`; `sign` is FFTW_FORWARD or FFTW_BACKWARD (unnormalised).
void dft(std::vector<std::complex<double>>& x, int sign) {
    auto* data = reinterpret_cast<fftw_complex*>(x.data());
    fftw_plan plan =
        fftw_plan_dft_1d(int(x.size()), data, data, sign, FFTW_ESTIMATE | FFTW_NO_SIMD);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
}

// The minimum-phase impulse with the same magnitude response as `h`: the real cepstrum
// of log|H|, folded onto positive quefrencies, exponentiated back.
std::vector<double> minimumPhase(const std::vector<double>& h) {
    const std::size_t n = kFftSize;
    std::vector<std::complex<double>> x(n);
    for (std::size_t i = 0; i < h.size(); ++i) x[i] = h[i];
    dft(x, FFTW_FORWARD);
    for (auto& v : x) v = std::log(std::max(std::abs(v), kMagnitudeFloor));
    dft(x, FFTW_BACKWARD);
    // Real cepstrum, then its causal fold: c[0], 2 c[k] for 0 < k < n/2, c[n/2], 0 after.
    for (std::size_t k = 0; k < n; ++k) {
        double c = x[k].real() / double(n);
        if (k > 0 && k < n / 2)
            c *= 2.0;
        else if (k > n / 2)
            c = 0.0;
        x[k] = c;
    }
    dft(x, FFTW_FORWARD);
    for (auto& v : x) v = std::exp(v);
    dft(x, FFTW_BACKWARD);
    std::vector<double> out(h.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = x[i].real() / double(n);
    return out;
}

} // namespace

int main() {
    const std::vector<double> impulse = minimumPhase(windowedSinc());
    // Running sum: entry k is the step k / 64 samples after the edge.
    std::vector<double> step(impulse.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < impulse.size(); ++i) step[i] = sum += impulse[i];
    const double last = step.back();
    for (double& v : step) v /= last;
    step.back() = 1.0;

    std::printf("%.1f %% corner\n", kCutoff);
    std::printf("%.1f %% oversampling\n", double(kOversampling));
    std::printf("%.1f %% nzc\n", double(kZeroCrossings));
    std::printf("%.1f %% size\n", double(step.size()));
    // Stored as the floats the plug-in keeps, so that last-bit differences between
    // machines' maths libraries rarely reach the text.
    for (double v : step) std::printf(" %.9g\n", double(float(v)));
    return 0;
}
