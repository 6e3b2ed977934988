#include "engine/LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/Maths.h"
#include "framework/Text.h"

namespace {

// Keeps a pre-warped corner below Nyquist. Where the corner would sit at or
// above Nyquist (rates below about 3.4 kHz for the shelf) tan() turns
// negative or infinite and the stage would blow up; such corners are pulled
// down to 0.45 of the rate. Every usual rate is far from this limit.
double WarpedCorner(double piF0, double fs) {
  const double limit = 0.45 * M_PI;
  return std::min(piF0 / fs, limit);
}

}  // namespace

LoudnessMeter::LoudnessMeter(const double* sampleRate, float windowSeconds)
    : mSampleRate(sampleRate), mWindow(windowSeconds) {
  Reset();
}

LoudnessMeter::Coefs LoudnessMeter::ComputeCoefs(double fs) {
  Coefs c;
  if (!(fs > 0.0)) return c;
  {
    const double K = quarv::Tan(WarpedCorner(5284.078578647628, fs));
    const double Vh = std::pow(10.0, 0.19999219269866736);
    const double Vb = std::pow(Vh, 0.4996667741545416);
    const double kq = K * 1.414076664088621;
    const double a0 = 1.0 + kq + K * K;
    c.a1 = 2.0 * (K * K - 1.0) / a0;
    c.a2 = (1.0 - kq + K * K) / a0;
    c.b0 = (Vh + Vb * kq + K * K) / a0;
    c.b1 = 2.0 * (K * K - Vh) / a0;
    c.b2 = (Vh - Vb * kq + K * K) / a0;
  }
  {
    const double K = quarv::Tan(WarpedCorner(119.8061151453059, fs));
    const double kq = K * 1.9986927057725021;
    const double d0 = 1.0 + kq + K * K;
    c.ha1 = 2.0 * (K * K - 1.0) / d0;
    c.ha2 = (1.0 - kq + K * K) / d0;
  }
  return c;
}

void LoudnessMeter::Reset() {
  const double fs = *mSampleRate;
  mCoefs = ComputeCoefs(fs);
  mMomentary = kFloorLufs;
  mMaximum = kFloorLufs;
  mIntegrated = 0.0;
  mIntegratedStale = false;
  mTotalCount = 0;
  mWindowEnergy = 0.0;
  mRingPos = 0;
  mState = State();
  if (!(fs > 0.0)) return;

  const double window = mWindow;
  // At least one frame per sub-block and one sub-block per window, so that a
  // rate or window at the edge of the range cannot divide by zero.
  mSubBlock = std::max(1, quarv::RoundHalfAway(window * fs));
  mSubBlocks = std::clamp(quarv::RoundHalfAway(0.4 / window), 1, kMaxSubBlocks);
  mNormaliser = 1.0 / static_cast<double>(static_cast<int64_t>(mSubBlock) * mSubBlocks);
  mRing.fill(0.0);
  mBinCount.fill(0);
  mBinEnergy.fill(0.0);
}

double LoudnessMeter::FastLoudness(double windowEnergy) {
  uint64_t bits;
  std::memcpy(&bits, &windowEnergy, sizeof bits);
  const int32_t h = static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
  const double ln = static_cast<double>(h - 1072632447) * 6.610368362777016e-7;
  static const double kDbScale = 10.0 / std::log(10.0);
  return ln * kDbScale - 0.691;
}

void LoudnessMeter::AddSubBlock(double E, bool integrate) {
  double& slot = mRing[static_cast<size_t>(mRingPos)];
  mWindowEnergy += (E - slot) * mNormaliser;
  slot = E;
  if (++mRingPos >= mSubBlocks) mRingPos = 0;

  if (!(mWindowEnergy > 0.0)) {
    mMomentary = kFloorLufs;
    return;
  }
  mMomentary = FastLoudness(mWindowEnergy);
  mMaximum = std::max(mMaximum, mMomentary);

  if (!integrate) return;
  const double binPos = std::floor((mMomentary + 70.0) * kBinsPerLu);
  if (binPos < 0.0) return;
  const int bin = binPos >= kBinCount ? kBinCount - 1 : static_cast<int>(binPos);
  ++mBinCount[static_cast<size_t>(bin)];
  mBinEnergy[static_cast<size_t>(bin)] += mWindowEnergy;
  ++mTotalCount;
  mIntegratedStale = true;
}

double LoudnessMeter::IntegratedEnergy() const {
  if (mIntegratedStale) {
    double energy = 0.0;
    for (double e : mBinEnergy) energy += e;
    mIntegrated = energy / static_cast<double>(mTotalCount);
    mIntegratedStale = false;
  }
  return mIntegrated;
}
