// K-weighted loudness of a stereo signal (high shelf then high pass, both
// second order, direct form II): the momentary loudness of a sliding window
// of about 400 ms renewed at every sub-block end, its maximum since the last
// reset, and the gated integrated energy (mean window energy of the sub-blocks
// at or above -70 LUFS, kept in a 1024-bin histogram of 0.1 LU).
//
// No lock of its own: the plug-in calls every operation under its lock.
// Nothing allocates: the ring and the histogram have fixed storage, sized for
// the shortest window.
#pragma once

#include <array>
#include <cstdint>

class LoudnessMeter {
public:
  static constexpr int kFloorLufs = -160;
  static constexpr int kGainFloorDb = -18;
  static constexpr int kBinCount = 1024;
  static constexpr int kBinsPerLu = 10;
  // Sub-blocks per window with the shortest window, 2.5 ms: the ring never
  // needs more.
  static constexpr int kMaxSubBlocks = 160;

  // Per-frame filter state, kept apart so the audio loop can hold it in
  // registers: first-stage w[n-1], w[n-2], second-stage v[n-1], v[n-2] and the
  // sub-block sum of squares, per channel; frames taken into the sub-block.
  struct State {
    double w1[2] = {0, 0}, w2[2] = {0, 0}, v1[2] = {0, 0}, v2[2] = {0, 0}, sum[2] = {0, 0};
    int32_t counter = 0;
  };

  struct Coefs {
    double a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;  // shelf
    double ha1 = 0, ha2 = 0;                         // high pass (b = 1, -2, 1)
  };

  // Window in seconds (sub-block length); the rate is read at every Reset.
  explicit LoudnessMeter(const double* sampleRate, float windowSeconds = 0.1f);

  void SetWindow(float seconds) { mWindow = seconds; }
  float Window() const { return mWindow; }

  // Recomputes the coefficients for the current rate and clears every
  // measurement.
  void Reset();

  // One stereo frame; integrate decides whether a completed sub-block enters
  // the integrated energy.
  void AddFrame(double xL, double xR, bool integrate) {
    if (Filter(mState, mCoefs, mSubBlock, xL, xR)) CloseSubBlock(mState, integrate);
  }

  // Filters one frame into s. Returns true when the frame completes a
  // sub-block of subBlock frames; the caller then calls CloseSubBlock.
  static bool Filter(State& s, const Coefs& k, int32_t subBlock, double xL, double xR) {
    if (s.counter == 0) s.sum[0] = s.sum[1] = 0.0;
    FilterChannel(s, k, 0, xL);
    FilterChannel(s, k, 1, xR);
    return ++s.counter >= subBlock;
  }

  // Ends the sub-block held in s: renews the momentary loudness and, when
  // integrate is set, the integrated energy.
  void CloseSubBlock(State& s, bool integrate) {
    s.counter = 0;
    double E = s.sum[0] + s.sum[1];
    if (!(E <= kHuge)) {
      // A NaN or infinite input sample (or one whose square overflows)
      // spoils only its own sub-block: the filters start afresh.
      s = State();
      E = 0.0;
    } else {
      FlushTinyStates(s);
    }
    AddSubBlock(E, integrate);
  }

  State& StateRef() { return mState; }
  const Coefs& CoefsRef() const { return mCoefs; }

  double Momentary() const { return mMomentary; }
  void SetMomentary(double lufs) { mMomentary = lufs; }
  double Maximum() const { return mMaximum; }
  // Mean energy of the gated sub-blocks since the last reset; 0 before any.
  double IntegratedEnergy() const;
  int SubBlockLength() const { return mSubBlock; }
  // At most kMaxSubBlocks: a window shorter than 2.5 ms is held to that many.
  int SubBlocksPerWindow() const { return mSubBlocks; }

  // Loudness of a window energy by the bit-pattern logarithm.
  static double FastLoudness(double windowEnergy);
  // Coefficients for a rate.
  static Coefs ComputeCoefs(double sampleRate);

private:
  static constexpr double kHuge = 1.7976931348623157e308;

  void AddSubBlock(double energy, bool integrate);

  // States this small cannot change any result; clearing them keeps the
  // recursion out of subnormal arithmetic.
  static void FlushTinyStates(State& s) {
    for (int ch = 0; ch < 2; ++ch) {
      if (s.w1[ch] < 1e-200 && s.w1[ch] > -1e-200) s.w1[ch] = 0.0;
      if (s.w2[ch] < 1e-200 && s.w2[ch] > -1e-200) s.w2[ch] = 0.0;
      if (s.v1[ch] < 1e-200 && s.v1[ch] > -1e-200) s.v1[ch] = 0.0;
      if (s.v2[ch] < 1e-200 && s.v2[ch] > -1e-200) s.v2[ch] = 0.0;
    }
  }

  static void FilterChannel(State& s, const Coefs& k, int ch, double x) {
    const double w = x - k.a1 * s.w1[ch] - k.a2 * s.w2[ch];
    const double y = k.b0 * w + k.b1 * s.w1[ch] + k.b2 * s.w2[ch];
    s.w2[ch] = s.w1[ch];
    s.w1[ch] = w;
    const double v = y - k.ha1 * s.v1[ch] - k.ha2 * s.v2[ch];
    const double z = v - 2.0 * s.v1[ch] + s.v2[ch];
    s.v2[ch] = s.v1[ch];
    s.v1[ch] = v;
    s.sum[ch] += z * z;
  }

  const double* mSampleRate;
  float mWindow;
  Coefs mCoefs;
  State mState;
  int32_t mSubBlock = 1;
  int32_t mSubBlocks = 1;
  double mNormaliser = 1.0;
  std::array<double, kMaxSubBlocks> mRing{};
  int32_t mRingPos = 0;
  double mWindowEnergy = 0.0;
  double mMomentary = kFloorLufs;
  double mMaximum = kFloorLufs;
  std::array<int32_t, kBinCount> mBinCount{};
  std::array<double, kBinCount> mBinEnergy{};
  int64_t mTotalCount = 0;
  // The bin sums change only at gated sub-block ends; the mean over all bins
  // is formed when it is read (same value, same order of additions).
  mutable double mIntegrated = 0.0;
  mutable bool mIntegratedStale = false;
};
