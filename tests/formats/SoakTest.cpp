// One instance of each built module under three threads at once, as a DAW
// drives it: the audio thread processes, the automation thread changes
// parameters and programs (and reads them between changes), the state thread
// saves and restores the state over and over. The parameter schedule is tied
// to block numbers, so the output must equal, bit for bit, that of the same
// schedule run on one thread. Runs under ThreadSanitizer in ./test.sh.
//
// QUARV_SOAK_SECONDS sets the running time (shared by the two modules).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "support/HostBlock.h"
#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using quarv::host::MemoryStream;
using quarv::host::ParamChanges;
using quarv::host::Vst2Plugin;
using quarv::host::Vst3Plugin;

namespace {

constexpr int kBlock = 128;
// The single-threaded replay must not take longer than the soak itself.
constexpr long kMaxBlocks = 200000;
constexpr ParamID kPrst = 0x70727374;
constexpr ParamID kBpas = 0x62706173;

double SoakSeconds() {
  const char* v = std::getenv("QUARV_SOAK_SECONDS");
  return v && *v ? std::atof(v) : 2.0;
}

// The schedule: what happens before block k.
bool ChangesParam(long k) { return k % 7 == 3; }
int ParamOf(long k) { return static_cast<int>((k / 7) % 9); }
double ValueOf(long k) {
  static const double kValues[] = {0.3, 0.9, 0.0, 1.0, 0.55, 0.12, 0.75, 0.4};
  return kValues[(k / 63) % 8];
}
bool ChangesProgram(long k) { return k % 101 == 50; }
int ProgramOf(long k) { return static_cast<int>((k / 101) % 30); }
bool ChangesRate(long k) { return k % 3001 == 3000; }
double RateOf(long k) { return (k / 3001) % 2 ? 48000.0 : 44100.0; }
bool Playing(long k) { return (k / 400) % 4 != 3; }
double Position(long k) { return k * double{kBlock} + ((k / 900) % 2) * 480000.0; }
bool SetsEverything(long k) { return ChangesParam(k) || ChangesProgram(k) || ChangesRate(k); }

// Deterministic input of block k: noise riding on a tone, with a NaN now and
// then.
template <typename T>
void Input(long k, T* l, T* r) {
  uint64_t s = static_cast<uint64_t>(k) * 0x9E3779B97F4A7C15ull + 7;
  for (int i = 0; i < kBlock; ++i) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    const double noise = static_cast<double>(s >> 11) / 9007199254740992.0 - 0.5;
    const double tone = std::sin((k * kBlock + i) * 0.031);
    const double level = (k / 200) % 3 == 0 ? 0.05 : 0.8;
    l[i] = static_cast<T>(level * (tone + noise));
    r[i] = static_cast<T>(level * (tone - noise));
  }
  if (k % 997 == 500) l[5] = std::numeric_limits<T>::quiet_NaN();
}

// One fingerprint per block of output bits.
uint64_t Fingerprint(const float* l, const float* r) {
  uint64_t h = 1469598103934665603ull;
  for (const float* ch : {l, r}) {
    for (int i = 0; i < kBlock; ++i) {
      uint32_t bits;
      std::memcpy(&bits, &ch[i], 4);
      h = (h ^ bits) * 1099511628211ull;
    }
  }
  return h;
}

size_t FirstDifference(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) return i;
  }
  return a.size() == b.size() ? a.size() : std::min(a.size(), b.size());
}

// ---- VST 2.4 ----

std::unique_ptr<Vst2Plugin> OpenVst2() {
  std::string error;
  auto p = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  EXPECT_TRUE(p) << error;
  if (p) p->Open(44100.0, kBlock);
  return p;
}

// What the host's automation does before block k.
void ApplyVst2(AEffect* e, long k) {
  if (ChangesRate(k)) {
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(RateOf(k)));
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  }
  if (ChangesProgram(k)) e->dispatcher(e, effSetProgram, 0, ProgramOf(k), nullptr, 0.0f);
  if (ChangesParam(k)) e->setParameter(e, ParamOf(k), static_cast<float>(ValueOf(k)));
}

uint64_t ProcessVst2(Vst2Plugin& p, long k) {
  float l[kBlock], r[kBlock], ol[kBlock], orr[kBlock];
  Input(k, l, r);
  float* in[2] = {l, r};
  float* out[2] = {ol, orr};
  p.transport.playing = Playing(k);
  p.transport.samplePos = Position(k);
  p.Effect()->processReplacing(p.Effect(), in, out, kBlock);
  return Fingerprint(ol, orr);
}

TEST(Soak, Vst2ModuleAudioAutomationAndStateThreads) {
  auto p = OpenVst2();
  ASSERT_TRUE(p);
  AEffect* e = p->Effect();
  std::vector<uint64_t> prints;
  prints.reserve(1 << 20);
  std::atomic<long> processed{0}, applied{0};
  std::atomic<bool> stop{false};
  // Serialises the state thread's save-and-restore with the automation's
  // changes, so a restore never carries values from before a change.
  std::mutex valuesMutex;
  long stateRounds = 0, reads = 0;

  std::thread automation([&] {
    char text[256];
    for (long k = 0; !stop.load(); ++k) {
      if (!SetsEverything(k)) {
        applied.store(k + 1);
        continue;
      }
      // Between changes the host reads the parameters, as its controls do.
      while (processed.load() < k && !stop.load()) {
        (void)e->getParameter(e, static_cast<int32_t>(reads % 9));
        e->dispatcher(e, effGetParamDisplay, static_cast<int32_t>(reads % 9), 0, text, 0.0f);
        ++reads;
        std::this_thread::yield();
      }
      {
        std::lock_guard<std::mutex> lock(valuesMutex);
        ApplyVst2(e, k);
      }
      applied.store(k + 1);
    }
  });
  std::thread state([&] {
    while (!stop.load()) {
      // A pause between rounds lets the automation have its turn.
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      std::lock_guard<std::mutex> lock(valuesMutex);
      for (int bank : {0, 1}) {
        void* data = nullptr;
        const intptr_t size = e->dispatcher(e, effGetChunk, bank, 0, &data, 0.0f);
        ASSERT_GT(size, 0);
        std::vector<uint8_t> bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        ASSERT_EQ(e->dispatcher(e, effSetChunk, bank, size, bytes.data(), 0.0f), 1);
      }
      ++stateRounds;
    }
  });

  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(SoakSeconds() / 2);
  long k = 0;
  for (; k < kMaxBlocks && std::chrono::steady_clock::now() < end; ++k) {
    while (applied.load() <= k) std::this_thread::yield();
    prints.push_back(ProcessVst2(*p, k));
    processed.store(k + 1);
  }
  stop.store(true);
  automation.join();
  state.join();
  std::printf("VST 2.4 soak: %ld blocks, %ld state round trips, %ld reads\n", k, stateRounds, reads);

  auto ref = OpenVst2();
  std::vector<uint64_t> expected;
  for (long j = 0; j < k; ++j) {
    ApplyVst2(ref->Effect(), j);
    expected.push_back(ProcessVst2(*ref, j));
  }
  EXPECT_EQ(FirstDifference(prints, expected), prints.size()) << "first block that differs";
  // However slow the machine (or a sanitizer), the soak did something.
  EXPECT_GT(k, 100);
  EXPECT_GT(stateRounds, 2);
}

// ---- VST 3 ----

struct Vst3Block : quarvtest::HostBlock {
  Vst3Block() : HostBlock(kBlock) {}

  // Block k with its changes; the rate changes between blocks, where hosts
  // set up again.
  uint64_t Process(Vst3Plugin& p, long k) {
    if (ChangesRate(k)) {
      p.Component()->setActive(false);
      ProcessSetup setup{kRealtime, kSample32, kBlock, RateOf(k)};
      EXPECT_EQ(p.Processor()->setupProcessing(setup), kResultOk);
      p.Component()->setActive(true);
    }
    changes.Clear();
    reported.Clear();
    int32 index = 0;
    if (ChangesParam(k)) {
      IParamValueQueue* q = changes.addParameterData(static_cast<ParamID>(ParamOf(k)), index);
      q->addPoint(0, 1.0 - ValueOf(k), index);
      q->addPoint(kBlock - 1, ValueOf(k), index);
    }
    if (ChangesProgram(k)) changes.addParameterData(kPrst, index)->addPoint(0, ProgramOf(k) / 29.0, index);
    if (k % 211 == 100) changes.addParameterData(kBpas, index)->addPoint(0, (k / 211) % 2 ? 0.0 : 1.0, index);
    context.state = Playing(k) ? ProcessContext::kPlaying : 0;
    context.projectTimeSamples = static_cast<int64>(Position(k));
    Input(k, fl.data(), fr.data());
    EXPECT_EQ(p.Processor()->process(data), kResultOk);
    return Fingerprint(fol.data(), forr.data());
  }
};

std::unique_ptr<Vst3Plugin> OpenVst3() {
  std::string error;
  auto p = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
  EXPECT_TRUE(p) << error;
  if (p) {
    EXPECT_TRUE(p->Configure(44100.0, kBlock, false, 2, &error)) << error;
  }
  return p;
}

TEST(Soak, Vst3ModuleAudioControllerAndStateThreads) {
  auto p = OpenVst3();
  ASSERT_TRUE(p);
  std::vector<uint64_t> prints;
  prints.reserve(1 << 20);
  std::atomic<bool> stop{false};
  std::mutex valuesMutex;
  long stateRounds = 0, reads = 0;

  // The controller's side: reads of values, texts and programs while the
  // audio thread changes them through its queues.
  std::thread controller([&] {
    String128 text{};
    while (!stop.load()) {
      const ParamID id = static_cast<ParamID>(reads % 9);
      const double v = p->Controller()->getParamNormalized(id);
      p->Controller()->getParamStringByValue(id, v, text);
      (void)p->Controller()->getParamNormalized(kPrst);
      if (p->Units()) p->Units()->getProgramName(kPrst, static_cast<int32>(reads % 30), text);
      ++reads;
    }
  });
  std::thread state([&] {
    while (!stop.load()) {
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      std::lock_guard<std::mutex> lock(valuesMutex);
      MemoryStream out;
      ASSERT_EQ(p->Component()->getState(&out), kResultOk);
      MemoryStream in(out.Bytes());
      ASSERT_EQ(p->Component()->setState(&in), kResultOk);
      ++stateRounds;
    }
  });

  Vst3Block block;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(SoakSeconds() / 2);
  long k = 0;
  for (; k < kMaxBlocks && std::chrono::steady_clock::now() < end; ++k) {
    // A block that changes values excludes a restore of older ones.
    std::unique_lock<std::mutex> lock(valuesMutex, std::defer_lock);
    if (SetsEverything(k) || k % 211 == 100) lock.lock();
    prints.push_back(block.Process(*p, k));
  }
  stop.store(true);
  controller.join();
  state.join();
  std::printf("VST 3 soak: %ld blocks, %ld state round trips, %ld controller reads\n", k, stateRounds, reads);

  auto ref = OpenVst3();
  Vst3Block refBlock;
  std::vector<uint64_t> expected;
  for (long j = 0; j < k; ++j) expected.push_back(refBlock.Process(*ref, j));
  EXPECT_EQ(FirstDifference(prints, expected), prints.size()) << "first block that differs";
  EXPECT_GT(k, 100);
  EXPECT_GT(stateRounds, 2);
}

}  // namespace
