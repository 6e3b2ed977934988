#include "tools/TruePeak.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarv::render {
namespace {

// Coefficients this small are left out, as zero.
constexpr double kAlmostZero = 0.000001;

// Rounding to float flushes results below float's normal range to zero while
// it lives, as libebur128's filter does, so tiny signals give the same peaks.
class FlushToZero {
public:
#if defined(__SSE2__)
  FlushToZero() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | _MM_FLUSH_ZERO_ON); }
  ~FlushToZero() { _mm_setcsr(mSaved); }

private:
  unsigned int mSaved;
#endif
};

}  // namespace

void TruePeakMeter::Start(int channels, double sampleRate) {
  mChannels = std::clamp(channels, 1, 2);
  mFactor = sampleRate < 96000.0 ? 4 : sampleRate < 192000.0 ? 2 : 0;
  mPeak = {};
  mPhases.clear();
  if (mFactor == 0) return;
  // Windowed sinc, split by phase: tap j serves output phase j % factor
  // with the sample j / factor frames back. The expressions keep
  // libebur128's order of operations and use the same sin and cos, so the
  // coefficients are the same doubles.
  const unsigned taps = kTaps, factor = static_cast<unsigned>(mFactor);
  mPhases.assign(factor, {});
  for (unsigned j = 0; j < taps; ++j) {
    const double m = static_cast<double>(j) - static_cast<double>(taps - 1) / 2.0;
    double c = 1.0;
    if (std::fabs(m) > kAlmostZero) c = std::sin(m * M_PI / factor) / (m * M_PI / factor);
    c *= 0.5 * (1 - std::cos(2 * M_PI * j / (taps - 1)));
    if (std::fabs(c) > kAlmostZero) mPhases[j % factor].push_back({c, static_cast<int>(j / factor)});
  }
  mHistory = static_cast<int>((taps + factor - 1) / factor) - 1;
  for (int c = 0; c < 2; ++c) mLine[static_cast<size_t>(c)].assign(static_cast<size_t>(mHistory + kBlock), 0.0);
}

void TruePeakMeter::Add(const double* const* planar, int64_t frames) {
  if (mFactor == 0) return;
  const FlushToZero ftz;
  for (int64_t done = 0; done < frames;) {
    const int n = static_cast<int>(std::min<int64_t>(frames - done, kBlock));
    for (int c = 0; c < mChannels; ++c) AddBlock(c, planar[c] + done, n);
    done += n;
  }
}

void TruePeakMeter::AddBlock(int channel, const double* x, int frames) {
  double* const line = mLine[static_cast<size_t>(channel)].data();
  double* const block = line + mHistory;  // block[k] is frame k of this block
  for (int k = 0; k < frames; ++k) block[k] = static_cast<float>(x[k]);
  double peak = mPeak[static_cast<size_t>(channel)];
  int k = 0;
#if defined(__SSE2__)
  // Eight frames at a time in four registers, every tap added in turn, so
  // each interpolated value sees the same operations in the same order as
  // one computed alone.
  __m128d peaks = _mm_set1_pd(peak);
  const __m128d signBit = _mm_set1_pd(-0.0);
  for (; k + 8 <= frames; k += 8) {
    for (const std::vector<Tap>& phase : mPhases) {
      __m128d s0 = _mm_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
      for (const Tap& tap : phase) {
        const double* in = block + k - tap.lag;
        const __m128d c = _mm_set1_pd(tap.coeff);
        s0 = _mm_add_pd(s0, _mm_mul_pd(_mm_loadu_pd(in), c));
        s1 = _mm_add_pd(s1, _mm_mul_pd(_mm_loadu_pd(in + 2), c));
        s2 = _mm_add_pd(s2, _mm_mul_pd(_mm_loadu_pd(in + 4), c));
        s3 = _mm_add_pd(s3, _mm_mul_pd(_mm_loadu_pd(in + 6), c));
      }
      // Rounded to float and back, the magnitude; the maximum keeps its
      // second operand when the first is NaN, so a NaN never becomes the
      // peak.
      for (__m128d s : {s0, s1, s2, s3}) {
        const __m128d v = _mm_cvtps_pd(_mm_cvtpd_ps(s));
        peaks = _mm_max_pd(_mm_andnot_pd(signBit, v), peaks);
      }
    }
  }
  double lanes[2];
  _mm_storeu_pd(lanes, peaks);
  peak = std::max(lanes[0], lanes[1]);
#endif
  for (; k < frames; ++k) {
    for (const std::vector<Tap>& phase : mPhases) {
      double sum = 0.0;
      for (const Tap& tap : phase) sum += block[k - tap.lag] * tap.coeff;
      const double v = static_cast<float>(sum);
      const double magnitude = v > -v ? v : -v;
      // Written so that a NaN never becomes the peak.
      peak = magnitude > peak ? magnitude : peak;
    }
  }
  mPeak[static_cast<size_t>(channel)] = peak;
  // The newest frames are the next block's history.
  std::memmove(line, line + frames, sizeof(double) * static_cast<size_t>(mHistory));
}

}  // namespace quarv::render
