// Preset slots and the saved state: both are the parameter block, the plain
// value of every parameter as a little-endian double, in index order.
#include <cmath>
#include <cstring>

#include "framework/IPlugBase.h"
#include "framework/Text.h"

using quarv::CopyText;

const char* IPlugBase::GetPresetName(int idx) const {
  const PresetSlot* slot = GetPreset(idx);
  return slot ? slot->name : "";
}

PresetSlot* IPlugBase::FirstFreePreset() {
  for (auto& slot : mPresets) {
    if (!slot->initialized) return slot.get();
  }
  return nullptr;
}

void IPlugBase::NameDefaultPresets(const char* name, int count) {
  Lock lock(mMutex);
  for (int n = 0; n < count; ++n) {
    PresetSlot* free = FirstFreePreset();
    if (!free) return;
    free->initialized = true;
    CopyText(free->name, sizeof free->name, name ? name : "Default");
  }
}

void IPlugBase::DefinePreset(const char* name, std::initializer_list<double> values) {
  Lock lock(mMutex);
  PresetSlot* free = FirstFreePreset();
  if (!free) return;
  free->initialized = true;
  CopyText(free->name, sizeof free->name, name);
  // List parameters are given as integers; the block holds every value as a
  // double, unclamped.
  int i = 0;
  for (double v : values) {
    if (i >= NParams()) break;
    const IParameter* param = GetParam(i++);
    free->chunk.PutDouble(param->Type() == IParameter::kTypeDouble ? v : std::trunc(v));
  }
}

void IPlugBase::StoreCurrentPreset(const char* name) {
  Lock lock(mMutex);
  if (mCurrentPresetIdx < 0 || mCurrentPresetIdx >= NPresets()) return;
  PresetSlot* slot = mPresets[static_cast<size_t>(mCurrentPresetIdx)].get();
  slot->chunk.Clear();
  SaveParams(&slot->chunk);
  if (name && name[0]) CopyText(slot->name, sizeof slot->name, name);
}

void IPlugBase::SetCurrentPresetIdx(int idx) {
  Lock lock(mMutex);
  if (idx >= 0 && idx < NPresets()) mCurrentPresetIdx = idx;
}

bool IPlugBase::RecallPreset(int idx) {
  Lock lock(mMutex);
  if (idx < 0 || idx >= NPresets()) return false;
  PresetSlot* slot = mPresets[static_cast<size_t>(idx)].get();
  if (slot->initialized) {
    mCurrentPresetIdx = idx;
    if (LoadParams(&slot->chunk, 0) <= 0) return false;
  } else {
    slot->initialized = true;
    NextUserPresetName(slot->name, sizeof slot->name);
  }
  mCurrentPresetIdx = idx;
  PushParamsToEditor();
  return true;
}

void IPlugBase::NextUserPresetName(char* out, size_t size) const {
  int count = 0;
  for (const auto& slot : mPresets) {
    if (strstr(slot->name, "user preset")) ++count;
  }
  quarv::FormatC(out, size, "%s %d", "user preset", count + 1);
}

void IPlugBase::EnsureOnePreset() {
  Lock lock(mMutex);
  if (!mPresets.empty()) return;
  auto slot = std::make_unique<PresetSlot>();
  CopyText(slot->name, sizeof slot->name, "- 1 -");
  mPresets.push_back(std::move(slot));
  NameDefaultPresets("Default", 1);
}

bool IPlugBase::SaveParams(StateChunk* chunk) {
  Lock lock(mMutex);
  if (!chunk) return false;
  for (int i = 0; i < NParams(); ++i) chunk->PutDouble(GetParam(i)->Value());
  return chunk->Size() > 0;
}

int IPlugBase::LoadParams(const StateChunk* chunk, int pos) {
  Lock lock(mMutex);
  for (int i = 0; i < NParams() && pos >= 0; ++i) {
    double v = 0.0;
    pos = chunk ? chunk->GetDouble(&v, pos) : -1;
    if (pos < 0) v = 0.0;
    if (!AcceptParamOnLoad(i, mCurrentPresetIdx)) continue;
    // A stored NaN or infinity is corrupt data: the parameter keeps its value,
    // the read position still advances past it.
    if (!std::isfinite(v)) continue;
    IParameter* param = GetParam(i);
    param->Set(param->Clamp(v));
    ParamChanged(i);
  }
  return pos;
}
