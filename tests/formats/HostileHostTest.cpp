// Hosts that misbehave, against the built modules: missing channel buffers,
// processing without a block size, rates the engine cannot serve, a close
// racing a waiting call, and state streams that stall.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <future>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using quarv::host::MemoryStream;
using quarv::host::Vst2Plugin;
using quarv::host::Vst3Plugin;

namespace {

constexpr int kFrames = 300;

std::unique_ptr<Vst2Plugin> OpenVst2(double rate = 48000.0, int block = 512) {
  std::string error;
  auto p = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  EXPECT_TRUE(p) << error;
  if (p) p->Open(rate, block);
  return p;
}

std::unique_ptr<Vst3Plugin> OpenVst3(double rate = 48000.0, int block = 512, bool dbl = false) {
  std::string error;
  auto p = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
  EXPECT_TRUE(p) << error;
  if (p) {
    EXPECT_TRUE(p->Configure(rate, block, dbl, 2, &error)) << error;
  }
  return p;
}

// A stereo signal loud enough that "Out Limit" -30 limits it.
template <typename T>
struct Stereo {
  std::vector<T> l, r;
  explicit Stereo(int n, double amp = 0.9) : l(static_cast<size_t>(n)), r(static_cast<size_t>(n)) {
    for (int i = 0; i < n; ++i) {
      l[static_cast<size_t>(i)] = static_cast<T>(amp * std::sin(i * 0.8));
      r[static_cast<size_t>(i)] = static_cast<T>(amp * std::cos(i * 0.53));
    }
  }
  T* ptrs[2] = {nullptr, nullptr};
  T** Ptrs() {
    ptrs[0] = l.data();
    ptrs[1] = r.data();
    return ptrs;
  }
};

// Root mean square of the last tenth.
double TailRms(const std::vector<float>& x) {
  double sum = 0.0;
  const size_t from = x.size() - x.size() / 10;
  for (size_t i = from; i < x.size(); ++i) sum += double{x[i]} * x[i];
  return std::sqrt(sum / static_cast<double>(x.size() - from));
}

// ---- VST 2.4 ----

TEST(HostileVst2, MissingChannelBuffersGiveSilenceOnTheOutputsThatExist) {
  auto p = OpenVst2();
  AEffect* e = p->Effect();
  Stereo<float> in(kFrames);
  for (int hole = 0; hole < 5; ++hole) {
    SCOPED_TRACE(hole);
    Stereo<float> out(kFrames);
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    float** inArg = ins;
    float** outArg = outs;
    if (hole == 0) inArg = nullptr;
    if (hole == 1) ins[1] = nullptr;
    if (hole == 2) ins[0] = nullptr;
    if (hole == 3) outs[1] = nullptr;
    if (hole == 4) outs[0] = nullptr;
    e->processReplacing(e, inArg, outArg, kFrames);
    for (int i = 0; i < kFrames; ++i) {
      if (outs[0]) {
        ASSERT_EQ(out.l[static_cast<size_t>(i)], 0.0f) << i;
      }
      if (outs[1]) {
        ASSERT_EQ(out.r[static_cast<size_t>(i)], 0.0f) << i;
      }
    }
  }
  // The same for doubles; the accumulating entry adds nothing.
  Stereo<double> din(kFrames), dout(kFrames);
  double* dins[2] = {din.l.data(), nullptr};
  e->processDoubleReplacing(e, dins, dout.Ptrs(), kFrames);
  for (double v : dout.l) ASSERT_EQ(v, 0.0);
  Stereo<float> acc(kFrames);
  const std::vector<float> before = acc.l;
  float* holes[2] = {in.l.data(), nullptr};
  e->process(e, holes, acc.Ptrs(), kFrames);
  EXPECT_EQ(acc.l, before);
  e->processReplacing(e, nullptr, nullptr, kFrames);
}

TEST(HostileVst2, ProcessingAfterBlockSizeZeroPassesTheInputThrough) {
  auto p = OpenVst2();
  p->Dispatch(effSetBlockSize, 0, 0);
  Stereo<float> in(kFrames), out(kFrames, 0.1);
  p->ProcessReplacing(in.Ptrs(), out.Ptrs(), kFrames);
  EXPECT_EQ(out.l, in.l);
  EXPECT_EQ(out.r, in.r);
  Stereo<double> din(kFrames), dout(kFrames, 0.1);
  p->ProcessDouble(din.Ptrs(), dout.Ptrs(), kFrames);
  EXPECT_EQ(dout.l, din.l);
  // A real block size brings the engine back.
  p->Dispatch(effSetBlockSize, 0, 64);
  p->ProcessReplacing(in.Ptrs(), out.Ptrs(), kFrames);
  for (float v : out.l) ASSERT_TRUE(std::isfinite(v));
}

TEST(HostileVst2, RatesTheEngineCannotServePassAudioUnchanged) {
  const float kNan = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  for (float rate : {0.0f, -48000.0f, kNan, kInf, 999.0f, 1.3e6f, 1e12f}) {
    SCOPED_TRACE(rate);
    auto p = OpenVst2(48000.0, 512);
    p->SetParamFromText(5, "-30");
    p->Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    Stereo<float> in(24000), out(24000);
    for (int i = 0; i < 24000; i += 512) {
      float* ins[2] = {in.l.data() + i, in.r.data() + i};
      float* outs[2] = {out.l.data() + i, out.r.data() + i};
      p->ProcessReplacing(ins, outs, std::min(512, 24000 - i));
    }
    EXPECT_EQ(out.l, in.l);
    EXPECT_EQ(out.r, in.r);
  }
  // The edges of the range are served: the signal is limited.
  for (float rate : {1000.0f, 1.2e6f}) {
    SCOPED_TRACE(rate);
    auto p = OpenVst2(rate, 4096);
    p->SetParamFromText(5, "-30");
    const int n = static_cast<int>(rate * 1.2f);
    Stereo<float> in(n), out(n);
    for (int i = 0; i < n; i += 4096) {
      float* ins[2] = {in.l.data() + i, in.r.data() + i};
      float* outs[2] = {out.l.data() + i, out.r.data() + i};
      p->ProcessReplacing(ins, outs, std::min(4096, n - i));
    }
    EXPECT_LT(TailRms(out.l), TailRms(in.l) * 0.5);
  }
}

// A host callback whose time query can be held, so that a processing call
// sits inside the plug-in lock for as long as a test wants.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool hold = false, inside = false;
  VstTimeInfo info{};
};
Gate* gGate = nullptr;

intptr_t VST_CALL GatedHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  if (opcode != audioMasterGetTime || !gGate) return 0;
  std::unique_lock<std::mutex> lock(gGate->m);
  if (gGate->hold) {
    gGate->inside = true;
    gGate->cv.notify_all();
    gGate->cv.wait(lock, [] { return !gGate->hold; });
  }
  gGate->info.sampleRate = 48000.0;
  gGate->info.flags = kVstTransportPlaying;
  return reinterpret_cast<intptr_t>(&gGate->info);
}

TEST(HostileVst2, CloseWaitsForCallsThatAreWaitingForTheLock) {
  void* lib = dlopen(QUARV_VST2_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(lib) << dlerror();
  auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(lib, "VSTPluginMain"));
  ASSERT_TRUE(entry);
  // Which of the waiting calls gets the lock first is up to the system; a
  // few rounds make both orders likely.
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    Gate gate;
    gGate = &gate;
    AEffect* e = entry(&GatedHost);
    ASSERT_TRUE(e);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    Stereo<float> in(256), out1(256), out2(256);
    gate.hold = true;
    auto holder = std::async(std::launch::async, [&] { e->processReplacing(e, in.Ptrs(), out1.Ptrs(), 256); });
    {
      std::unique_lock<std::mutex> lock(gate.m);
      ASSERT_TRUE(gate.cv.wait_for(lock, std::chrono::seconds(10), [&] { return gate.inside; }));
    }
    auto waiter = std::async(std::launch::async, [&] {
      float* ins[2] = {in.l.data(), in.r.data()};
      float* outs[2] = {out2.l.data(), out2.r.data()};
      e->processReplacing(e, ins, outs, 256);
      e->getParameter(e, 0);
    });
    auto closer = std::async(std::launch::async, [&] { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); });
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 2 ? 30 : 5));
    {
      std::lock_guard<std::mutex> lock(gate.m);
      gate.hold = false;
    }
    gate.cv.notify_all();
    for (auto* f : {&holder, &waiter, &closer}) {
      ASSERT_EQ(f->wait_for(std::chrono::seconds(10)), std::future_status::ready);
    }
    for (float v : out2.l) ASSERT_TRUE(std::isfinite(v));
    gGate = nullptr;
  }
  dlclose(lib);
}

// ---- VST 3 ----

// A stream that stalls in its first read or write until released.
class StallingStream : public MemoryStream {
public:
  using MemoryStream::MemoryStream;
  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    Stall();
    return MemoryStream::read(buffer, numBytes, numBytesRead);
  }
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    Stall();
    return MemoryStream::write(buffer, numBytes, numBytesWritten);
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mMutex);
    mReleased = true;
    mCv.notify_all();
  }
  bool WaitStalled() {
    std::unique_lock<std::mutex> lock(mMutex);
    return mCv.wait_for(lock, std::chrono::seconds(10), [this] { return mStalled; });
  }

private:
  void Stall() {
    std::unique_lock<std::mutex> lock(mMutex);
    mStalled = true;
    mCv.notify_all();
    mCv.wait(lock, [this] { return mReleased; });
  }
  std::mutex mMutex;
  std::condition_variable mCv;
  bool mStalled = false, mReleased = false;
};

TEST(HostileVst3, AStalledStateStreamDoesNotHoldUpProcessing) {
  auto p = OpenVst3();
  const std::vector<uint8_t> state = p->SaveState();
  Stereo<float> in(256), out(256);
  for (bool loading : {true, false}) {
    SCOPED_TRACE(loading ? "setState" : "getState");
    StallingStream stream(state);
    auto io = std::async(std::launch::async, [&] {
      return loading ? p->Component()->setState(&stream) : p->Component()->getState(&stream);
    });
    ASSERT_TRUE(stream.WaitStalled());
    auto block = std::async(std::launch::async, [&] { return p->Process(in.Ptrs(), out.Ptrs(), 256); });
    const bool processed = block.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    stream.Release();
    EXPECT_TRUE(processed) << "the audio thread waited for the host's stream";
    EXPECT_EQ(block.get(), kResultOk);
    EXPECT_EQ(io.get(), kResultOk);
  }
}

TEST(HostileVst3, EveryCallWithOutputsWritesThem) {
  // Processing without any set-up: no block size, the input passes.
  std::string error;
  auto bare = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
  ASSERT_TRUE(bare) << error;
  bare->Component()->activateBus(kAudio, kInput, 0, true);
  bare->Component()->activateBus(kAudio, kOutput, 0, true);
  bare->Component()->setActive(true);
  Stereo<float> in(kFrames), out(kFrames, 0.1);
  EXPECT_EQ(bare->Process(in.Ptrs(), out.Ptrs(), kFrames), kResultOk);
  EXPECT_EQ(out.l, in.l);

  // A block size of 0 likewise.
  auto p = OpenVst3(48000.0, 0, true);
  Stereo<double> din(kFrames), dout(kFrames, 0.1);
  EXPECT_EQ(p->Process(din.Ptrs(), dout.Ptrs(), kFrames), kResultOk);
  EXPECT_EQ(dout.r, din.r);

  // A missing input channel: silence, not what the buffers held.
  auto q = OpenVst3();
  Stereo<float> out2(kFrames, 0.1);
  float* holes[2] = {in.l.data(), nullptr};
  EXPECT_EQ(q->Process(holes, out2.Ptrs(), kFrames), kResultOk);
  for (float v : out2.l) ASSERT_EQ(v, 0.0f);
  for (float v : out2.r) ASSERT_EQ(v, 0.0f);
}

}  // namespace
