// The audio thread never allocates: every heap allocation of this process is
// counted while the built modules run their processing calls (and the other
// calls hosts make on their audio thread), across changes of every parameter,
// programs, the bypass, transport play, stop and locate, and NaN and infinite
// input, from the very first block on.
//
// The test replaces operator new and malloc for the whole process, so it is
// built only without sanitizers (they bring allocators of their own).
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "support/HostBlock.h"
#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

namespace {

std::atomic<long> gAllocations{0};
// Set on the thread under test for the calls that are counted.
thread_local bool tCounting = false;
// Set on the thread under test while every allocation is to fail.
thread_local bool tFailing = false;

// Counts the allocation; false when it is to fail.
bool Count() {
  if (tCounting) gAllocations.fetch_add(1, std::memory_order_relaxed);
  return !tFailing;
}

void* Allocate(size_t size) { return Count() ? __libc_malloc(size ? size : 1) : nullptr; }

void* AllocateAligned(size_t size, size_t alignment) {
  return Count() ? __libc_memalign(alignment, size ? size : 1) : nullptr;
}

}  // namespace

extern "C" {
void* malloc(size_t size) { return Allocate(size); }
void* calloc(size_t n, size_t size) { return Count() ? __libc_calloc(n, size) : nullptr; }
void* realloc(void* p, size_t size) { return Count() ? __libc_realloc(p, size) : nullptr; }
void free(void* p) { __libc_free(p); }
void* memalign(size_t alignment, size_t size) { return AllocateAligned(size, alignment); }
void* aligned_alloc(size_t alignment, size_t size) { return AllocateAligned(size, alignment); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  *out = AllocateAligned(size, alignment);
  return *out ? 0 : ENOMEM;
}
}

void* operator new(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(size_t size, std::align_val_t a) {
  if (void* p = AllocateAligned(size, static_cast<size_t>(a))) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t a) { return operator new(size, a); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using quarv::host::ParamChanges;
using quarv::host::Vst2Plugin;
using quarv::host::Vst3Plugin;

constexpr int kBlock = 256;
constexpr int kBlocks = 700;
constexpr ParamID kPrst = 0x70727374;
constexpr ParamID kBpas = 0x62706173;

// Counts the allocations of what runs inside.
struct Counted {
  Counted() {
    gAllocations.store(0);
    tCounting = true;
  }
  ~Counted() { tCounting = false; }
};

// Makes every allocation of what runs inside fail.
struct OutOfMemory {
  OutOfMemory() { tFailing = true; }
  ~OutOfMemory() { tFailing = false; }
};

// What the host does before block b: a value for one parameter (every one in
// turn, Window and Look Ahead among them), a program now and then, and the
// transport playing, stopping and locating.
struct Step {
  int param;
  double value;
  int program;  // -1: none
  bool playing;
  double position;
  bool nonFinite;
};

Step StepFor(int b) {
  static const double kValues[] = {0.0, 1.0, 0.5, 0.25, 0.8, 0.1, 0.95};
  Step s;
  s.param = b % 9;
  s.value = kValues[(b / 9) % 7];
  s.program = b % 37 == 5 ? (b / 37) % 30 : -1;
  s.playing = (b / 50) % 3 != 2;
  s.position = b * double{kBlock} + (b % 120 == 60 ? 96000.0 : 0.0);
  s.nonFinite = b % 97 == 13;
  return s;
}

template <typename T>
void FillInput(std::vector<T>& l, std::vector<T>& r, int b, bool nonFinite) {
  for (int i = 0; i < kBlock; ++i) {
    const double t = (b * kBlock + i) / 48000.0;
    l[static_cast<size_t>(i)] = static_cast<T>(0.8 * std::sin(2 * M_PI * 440 * t));
    r[static_cast<size_t>(i)] = static_cast<T>(0.7 * std::sin(2 * M_PI * 330 * t));
  }
  if (nonFinite) {
    l[3] = std::numeric_limits<T>::quiet_NaN();
    r[7] = std::numeric_limits<T>::infinity();
  }
}

TEST(NoAllocation, Vst2ModuleProcessingAndAudioThreadCalls) {
  for (int entry = 0; entry < 3; ++entry) {
    SCOPED_TRACE(entry == 0 ? "processReplacing" : entry == 1 ? "process" : "processDoubleReplacing");
    std::string error;
    auto p = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
    ASSERT_TRUE(p) << error;
    p->Open(48000.0, kBlock);
    AEffect* e = p->Effect();
    quarvtest::HostBlock io(kBlock);
    long total = 0;
    for (int b = 0; b < kBlocks; ++b) {
      const Step s = StepFor(b);
      FillInput(io.fl, io.fr, b, s.nonFinite);
      FillInput(io.dl, io.dr, b, s.nonFinite);
      p->transport.playing = s.playing;
      p->transport.samplePos = s.position;
      if (b == 400) {
        // A new rate is set up off the audio thread; the blocks after it
        // find their storage in place.
        p->Dispatch(effMainsChanged, 0, 0);
        p->Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
        p->Dispatch(effMainsChanged, 0, 1);
      }
      {
        Counted counted;
        // Hosts send automation and program changes on the audio thread too.
        e->setParameter(e, s.param, static_cast<float>(s.value));
        if (s.program >= 0) e->dispatcher(e, effSetProgram, 0, s.program, nullptr, 0.0f);
        if (entry == 0) e->processReplacing(e, io.fin, io.fout, kBlock);
        if (entry == 1) e->process(e, io.fin, io.fout, kBlock);
        if (entry == 2) e->processDoubleReplacing(e, io.din, io.dout, kBlock);
        total += gAllocations.load();
      }
      ASSERT_EQ(gAllocations.load(), 0) << "block " << b;
    }
    EXPECT_EQ(total, 0);
  }
}

TEST(NoAllocation, Vst3ModuleProcessWithParameterQueues) {
  for (bool dbl : {false, true}) {
    SCOPED_TRACE(dbl ? "64-bit" : "32-bit");
    std::string error;
    auto p = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
    ASSERT_TRUE(p) << error;
    ASSERT_TRUE(p->Configure(48000.0, kBlock, dbl, 2, &error)) << error;
    quarvtest::HostBlock io(kBlock, dbl);
    ParamChanges& changes = io.changes;
    io.context.sampleRate = 48000.0;
    io.context.tempo = 120.0;
    for (int b = 0; b < kBlocks; ++b) {
      const Step s = StepFor(b);
      FillInput(io.fl, io.fr, b, s.nonFinite);
      FillInput(io.dl, io.dr, b, s.nonFinite);
      changes.Clear();
      io.reported.Clear();
      int32 index = 0;
      // Several points per queue: only the last one counts.
      IParamValueQueue* q = changes.addParameterData(static_cast<ParamID>(s.param), index);
      q->addPoint(0, 1.0 - s.value, index);
      q->addPoint(kBlock / 2, s.value, index);
      if (s.program >= 0) changes.addParameterData(kPrst, index)->addPoint(0, s.program / 29.0, index);
      if (b % 150 == 100) changes.addParameterData(kBpas, index)->addPoint(0, (b / 150) % 2 ? 0.0 : 1.0, index);
      io.context.state = s.playing ? ProcessContext::kPlaying : 0;
      io.context.projectTimeSamples = static_cast<int64>(s.position);
      if (b == 400) {
        p->Component()->setActive(false);
        ProcessSetup setup{kRealtime, io.data.symbolicSampleSize, kBlock, 96000.0};
        ASSERT_EQ(p->Processor()->setupProcessing(setup), kResultOk);
        p->Component()->setActive(true);
      }
      {
        Counted counted;
        EXPECT_EQ(p->Processor()->process(io.data), kResultOk);
      }
      ASSERT_EQ(gAllocations.load(), 0) << "block " << b;
    }
  }
}

// A set-up call that cannot have its memory leaves the plug-in passing the
// audio through, and the host running.
TEST(OutOfMemory, SetUpWithoutMemoryPassesAudioThrough) {
  std::string error;
  auto v2 = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  ASSERT_TRUE(v2) << error;
  v2->Open(48000.0, kBlock);
  auto v3 = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
  ASSERT_TRUE(v3) << error;
  ASSERT_TRUE(v3->Configure(48000.0, kBlock, false, 2, &error)) << error;
  // +6 dB of input gain: processed audio differs from the input.
  v2->SetParameter(0, 24.0f / 36.0f);
  v3->QueueChange(0, 24.0 / 36.0);
  ASSERT_EQ(v3->Flush(), kResultOk);
  quarvtest::HostBlock io(kBlock);
  auto processBoth = [&](int b) {
    FillInput(io.fl, io.fr, b, false);
    std::vector<float> outs[2];
    v2->ProcessReplacing(io.fin, io.fout, kBlock);
    outs[0] = io.fol;
    EXPECT_EQ(v3->Process(io.fin, io.fout, kBlock), kResultOk);
    outs[1] = io.fol;
    return std::pair{outs[0] == io.fl, outs[1] == io.fl};
  };
  for (int step = 0; step < 2; ++step) {
    SCOPED_TRACE(step == 0 ? "a new rate" : "a new block size");
    v2->Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    v2->Dispatch(effSetBlockSize, 0, kBlock);
    v3->Component()->setActive(false);
    ProcessSetup normal{kRealtime, kSample32, kBlock, 48000.0};
    ASSERT_EQ(v3->Processor()->setupProcessing(normal), kResultOk);
    v3->Component()->setActive(true);
    EXPECT_EQ(processBoth(1), std::pair(false, false)) << "processed";
    {
      OutOfMemory none;
      if (step == 0) {
        v2->Dispatch(effSetSampleRate, 0, 0, nullptr, 1.1e6f);
      } else {
        v2->Dispatch(effSetBlockSize, 0, 100000);
      }
      ProcessSetup setup{kRealtime, kSample32, step == 0 ? kBlock : 100000, step == 0 ? 1.1e6 : 48000.0};
      v3->Component()->setActive(false);
      EXPECT_EQ(v3->Processor()->setupProcessing(setup), kResultOk);
      EXPECT_EQ(v3->Component()->setActive(true), kResultOk);
    }
    for (int b = 2; b < 5; ++b) EXPECT_EQ(processBoth(b), std::pair(true, true)) << "passed through";
  }
}

// The counting itself works: an allocation inside the window is seen.
void* volatile gSink;

TEST(NoAllocation, TheCounterSeesAllocations) {
  Counted counted;
  auto* v = new std::vector<double>(100);
  gSink = v;
  gSink = std::malloc(10);
  EXPECT_GE(gAllocations.load(), 3);
  std::free(gSink);
  delete v;
}

}  // namespace
