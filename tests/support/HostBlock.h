// One processing call as a host builds it for a VST 3 processor: stereo
// buffers in both precisions, one bus each way, a process context and
// fixed-capacity parameter changes in and out (so filling them allocates
// nothing).
#pragma once

#include <vector>

#include "tools/host/Vst3Plugin.h"

namespace quarvtest {

struct HostBlock {
  explicit HostBlock(int frames, bool dbl = false)
      : fl(static_cast<size_t>(frames)), fr(fl), fol(fl), forr(fl), dl(static_cast<size_t>(frames)), dr(dl), dol(dl),
        dor(dl) {
    inBus.numChannels = outBus.numChannels = 2;
    inBus.channelBuffers32 = fin;
    outBus.channelBuffers32 = fout;
    inBus.channelBuffers64 = din;
    outBus.channelBuffers64 = dout;
    data.symbolicSampleSize = dbl ? Steinberg::Vst::kSample64 : Steinberg::Vst::kSample32;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = &changes;
    data.outputParameterChanges = &reported;
    data.processContext = &context;
  }
  HostBlock(const HostBlock&) = delete;
  HostBlock& operator=(const HostBlock&) = delete;

  std::vector<float> fl, fr, fol, forr;
  std::vector<double> dl, dr, dol, dor;
  float* fin[2] = {fl.data(), fr.data()};
  float* fout[2] = {fol.data(), forr.data()};
  double* din[2] = {dl.data(), dr.data()};
  double* dout[2] = {dol.data(), dor.data()};
  Steinberg::Vst::AudioBusBuffers inBus, outBus;
  quarv::host::ParamChanges changes, reported;
  Steinberg::Vst::ProcessContext context{};
  Steinberg::Vst::ProcessData data;
};

}  // namespace quarvtest
