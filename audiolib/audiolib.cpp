// The public functions: the handle table, per-thread error codes, set-up
// and the dispatch onto decoding and playable channels.
#include "audiolib/audiolib.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "audiolib/channel.h"
#include "audiolib/decoder.h"
#include "audiolib/mixer.h"
#include "audiolib/output_device.h"
#include "audiolib/play_channel.h"

namespace qv3 {

using audio_internal::Channel;
using audio_internal::ChannelKind;
using audio_internal::DecodeChannel;
using audio_internal::Mixer;
using audio_internal::PlayChannel;

namespace {

thread_local int t_error = 0;

struct Library {
  std::mutex mu;
  bool initialized = false;
  bool manual = false;
  std::unique_ptr<audio_internal::OutputDevice> device;
  std::unique_ptr<Mixer> mixer;
  std::unordered_map<AudioHandle, std::shared_ptr<Channel>> channels;
  std::unordered_map<AudioHandle, AudioHandle> hooks;  // DSP/FX/sync -> channel
  std::thread sync_thread;
  std::atomic<bool> sync_quit{false};
  std::vector<float> manual_buf;
};

Library& Lib() {
  // Never destroyed: library calls from static destructors stay safe.
  static Library* lib = new Library;
  return *lib;
}

std::atomic<uint32_t> g_next_handle{1};

AudioHandle NewHandle() { return g_next_handle.fetch_add(1); }

template <typename T>
T Fail(int code, T value) {
  t_error = code;
  return value;
}

bool Ok() {
  t_error = kErrorOk;
  return true;
}

std::shared_ptr<Channel> Find(AudioHandle h) {
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  auto it = lib.channels.find(h);
  return it == lib.channels.end() ? nullptr : it->second;
}

std::shared_ptr<Channel> FindHookOwner(AudioHandle hook) {
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  auto it = lib.hooks.find(hook);
  if (it == lib.hooks.end()) return nullptr;
  auto ch = lib.channels.find(it->second);
  return ch == lib.channels.end() ? nullptr : ch->second;
}

// Inside the mixer only the channel whose mix-time sync runs is reachable
// (no lock may be taken there).
PlayChannel* MixtimeTarget(AudioHandle h) {
  PlayChannel* ch = audio_internal::CurrentMixtimeChannel();
  return ch && ch->handle() == h ? ch : nullptr;
}

void DeliverSync(const audio_internal::SyncEvent& ev) {
  if (ev.sync == 0) {  // an auto-free stream has ended
    StreamFree(ev.channel);
    return;
  }
  auto ch = Find(ev.channel);
  if (!ch) return;
  SyncProc proc = nullptr;
  void* user = nullptr;
  {
    std::lock_guard lock(ch->mu());
    auto s = ch->FindSync(ev.sync);
    if (!s) return;
    proc = s->proc;
    user = s->user;
  }
  proc(ev.sync, ev.channel, ev.data, user);
}

void SyncThread(Mixer* mixer) {
  Library& lib = Lib();
  while (!lib.sync_quit.load()) {
    audio_internal::SyncEvent ev;
    bool any = false;
    while (mixer->PopSync(&ev)) {
      DeliverSync(ev);
      any = true;
    }
    if (!any) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void Unregister(Library& lib, AudioHandle h) {
  lib.channels.erase(h);
  for (auto it = lib.hooks.begin(); it != lib.hooks.end();) {
    if (it->second == h)
      it = lib.hooks.erase(it);
    else
      ++it;
  }
}

// Takes the channel out of the mixer and stops its feeder; the object dies
// with its last reference.
void Retire(const std::shared_ptr<Channel>& ch, Mixer* mixer) {
  std::lock_guard lock(ch->mu());
  if (auto* play = dynamic_cast<PlayChannel*>(ch.get())) {
    if (mixer) mixer->Remove(play);
    play->Shutdown();
  }
}

AudioHandle Register(std::shared_ptr<Channel> ch) {
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  lib.channels[ch->handle()] = ch;
  return ch->handle();
}

}  // namespace

// ---- set-up ----

uint32_t AudioGetVersion() { return kAudioVersion | 0x0011; }

int ErrorGetCode() { return t_error; }

AudioHandle AudioPluginLoad(const char* file, uint32_t) {
  if (!file) return Fail<AudioHandle>(kErrorFileOpen, 0);
  Ok();
  return NewHandle();
}

bool AudioInit(int device, uint32_t freq, uint32_t) {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  if (lib.initialized) return Fail(kErrorAlready, false);
  if (device < -1) return Fail(kErrorDevice, false);
  if (freq == 0) freq = 44100;
  if (freq < 1000 || freq > 384000) return Fail(kErrorFormat, false);
  const char* env = std::getenv("QV3_AUDIO_DEVICE");
  const bool null_device = device == 0 || (device == -1 && env && std::strcmp(env, "null") == 0);
  std::unique_ptr<audio_internal::OutputDevice> dev =
      null_device ? audio_internal::MakeNullDevice() : audio_internal::MakePortAudioDevice();
  uint32_t rate = 0;
  int rc = dev->Open(device, freq, &rate);
  if (rc != kErrorOk) return Fail(rc, false);
  auto mixer = std::make_unique<Mixer>(rate, dev->clock(), dev->LatencyFrames());
  if (!dev->Start(mixer.get())) return Fail(kErrorDriver, false);
  lib.mixer = std::move(mixer);
  lib.device = std::move(dev);
  lib.manual = false;
  lib.sync_quit.store(false);
  lib.sync_thread = std::thread(SyncThread, lib.mixer.get());
  lib.initialized = true;
  return Ok();
}

bool AudioInitManual(uint32_t freq, uint32_t latency_frames) {
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  if (lib.initialized) return Fail(kErrorAlready, false);
  if (freq < 1000 || freq > 384000) return Fail(kErrorFormat, false);
  lib.mixer = std::make_unique<Mixer>(freq, Mixer::Clock::kManual, latency_frames);
  lib.manual = true;
  lib.manual_buf.assign(4096 * 2, 0.0f);
  lib.initialized = true;
  return Ok();
}

bool AudioAdvanceManual(uint32_t frames, float* out) {
  Library& lib = Lib();
  Mixer* mixer;
  {
    std::lock_guard lock(lib.mu);
    if (!lib.initialized || !lib.manual) return Fail(kErrorInit, false);
    mixer = lib.mixer.get();
  }
  uint32_t done = 0;
  while (done < frames) {
    const uint32_t n = std::min<uint32_t>(frames - done, 4096);
    float* dst = out ? out + static_cast<size_t>(done) * 2 : lib.manual_buf.data();
    mixer->Mix(dst, n);
    done += n;
  }
  audio_internal::SyncEvent ev;
  while (mixer->PopSync(&ev)) DeliverSync(ev);
  return Ok();
}

bool AudioFree() {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  Library& lib = Lib();
  std::vector<std::shared_ptr<Channel>> all;
  std::unique_ptr<audio_internal::OutputDevice> device;
  std::unique_ptr<Mixer> mixer;
  {
    std::lock_guard lock(lib.mu);
    if (!lib.initialized) return Fail(kErrorInit, false);
    for (auto& [h, ch] : lib.channels) all.push_back(ch);
    lib.channels.clear();
    lib.hooks.clear();
    device = std::move(lib.device);
    mixer = std::move(lib.mixer);
    lib.initialized = false;
    lib.manual = false;
  }
  for (auto& ch : all) Retire(ch, mixer.get());
  all.clear();
  if (device) device->Stop();
  lib.sync_quit.store(true);
  if (lib.sync_thread.joinable()) lib.sync_thread.join();
  return Ok();
}

uint32_t AudioGetInfoRate() {
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  if (!lib.initialized) return Fail<uint32_t>(kErrorInit, 0);
  Ok();
  return lib.mixer->rate();
}

uint32_t AudioGetLatencyFrames() {
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  if (!lib.initialized) return Fail<uint32_t>(kErrorInit, 0);
  Ok();
  return lib.mixer->latency_frames();
}

// ---- streams ----

StreamHandle StreamCreateFile(const char* file, uint64_t offset, uint64_t length, uint32_t flags) {
  if (audio_internal::InMixer()) return Fail<StreamHandle>(kErrorNotAvail, 0);
  if (!file) return Fail<StreamHandle>(kErrorFileOpen, 0);
  if (offset != 0 || length != 0) return Fail<StreamHandle>(kErrorIllParam, 0);
  Mixer* mixer = nullptr;
  if (!(flags & kStreamDecode)) {
    Library& lib = Lib();
    std::lock_guard lock(lib.mu);
    if (!lib.initialized) return Fail<StreamHandle>(kErrorInit, 0);
    mixer = lib.mixer.get();
  }
  int err = kErrorOk;
  auto decoder = audio_internal::OpenDecoder(file, (flags & kStreamPrescan) != 0, &err);
  if (!decoder) return Fail<StreamHandle>(err, 0);
  const AudioHandle h = NewHandle();
  if (flags & kStreamDecode) {
    Ok();
    return Register(std::make_shared<DecodeChannel>(h, std::move(decoder), flags, file));
  }
  auto ch = std::make_shared<PlayChannel>(h, mixer, std::move(decoder), flags, file);
  if (!ch->Start()) return Fail<StreamHandle>(kErrorMem, 0);
  if (!mixer->Add(ch.get())) {
    ch->Shutdown();
    return Fail<StreamHandle>(kErrorMem, 0);
  }
  Ok();
  return Register(ch);
}

StreamHandle WmaStreamCreateFile(const char* file, uint64_t offset, uint64_t length, uint32_t flags) {
  return StreamCreateFile(file, offset, length, flags);
}

StreamHandle StreamCreatePush(uint32_t freq, uint32_t chans, uint32_t flags) {
  if (audio_internal::InMixer()) return Fail<StreamHandle>(kErrorNotAvail, 0);
  Mixer* mixer;
  {
    Library& lib = Lib();
    std::lock_guard lock(lib.mu);
    if (!lib.initialized) return Fail<StreamHandle>(kErrorInit, 0);
    mixer = lib.mixer.get();
  }
  if (freq < 1000 || freq > 384000 || chans < 1 || chans > 8) return Fail<StreamHandle>(kErrorIllParam, 0);
  auto ch = std::make_shared<PlayChannel>(NewHandle(), mixer, freq, chans, flags);
  if (!ch->Start()) return Fail<StreamHandle>(kErrorMem, 0);
  if (!mixer->Add(ch.get())) return Fail<StreamHandle>(kErrorMem, 0);
  Ok();
  return Register(ch);
}

uint32_t StreamPutData(StreamHandle handle, const void* buffer, uint32_t length) {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, kDataError);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kDataError);
  auto* play = dynamic_cast<PlayChannel*>(ch.get());
  if (!play || play->kind() != ChannelKind::kPush) return Fail(kErrorNotAvail, kDataError);
  std::lock_guard lock(ch->mu());
  int err = kErrorOk;
  uint32_t r = play->PutData(buffer, length, &err);
  t_error = err;
  return r;
}

bool StreamFree(StreamHandle handle) {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  Library& lib = Lib();
  std::shared_ptr<Channel> ch;
  std::shared_ptr<Channel> source;
  Mixer* mixer;
  {
    std::lock_guard lock(lib.mu);
    auto it = lib.channels.find(handle);
    if (it == lib.channels.end()) return Fail(kErrorHandle, false);
    ch = it->second;
    Unregister(lib, handle);
    if (auto* dec = dynamic_cast<DecodeChannel*>(ch.get()); dec && dec->free_source) {
      auto src = lib.channels.find(dec->source_handle);
      if (src != lib.channels.end()) {
        source = src->second;
        Unregister(lib, dec->source_handle);
      }
    }
    mixer = lib.mixer.get();
  }
  Retire(ch, mixer);
  return Ok();
}

uint64_t StreamGetFilePosition(StreamHandle handle, uint32_t mode) {
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kPositionError);
  std::lock_guard lock(ch->mu());
  int err = kErrorOk;
  uint64_t r;
  if (auto* dec = dynamic_cast<DecodeChannel*>(ch.get())) {
    r = dec->FilePosition(mode, &err);
  } else {
    r = static_cast<PlayChannel*>(ch.get())->FilePosition(mode, &err);
  }
  t_error = err;
  return r;
}

StreamHandle TempoCreate(StreamHandle chan, uint32_t flags) {
  auto src = std::dynamic_pointer_cast<DecodeChannel>(Find(chan));
  if (!src) return Fail<StreamHandle>(Find(chan) ? kErrorDecode : kErrorHandle, 0);
  const uint32_t src_flags = src->Info().flags;
  auto tempo = std::make_shared<DecodeChannel>(NewHandle(), audio_internal::MakeChannelDecoder(src),
                                               (src_flags & kSampleFloat) | kStreamDecode,
                                               src->Info().filename ? src->Info().filename : "",
                                               kCtypeStreamTempo);
  tempo->source_handle = chan;
  tempo->free_source = (flags & kFxFreeSource) != 0;
  Ok();
  return Register(tempo);
}

// ---- channels ----

bool ChannelGetInfo(AudioHandle handle, ChannelInfo* info) {
  if (!info) return Fail(kErrorIllParam, false);
  if (PlayChannel* m = MixtimeTarget(handle)) {
    *info = m->Info();
    return Ok();
  }
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  *info = ch->Info();
  return Ok();
}

uint64_t ChannelGetLength(AudioHandle handle, uint32_t mode) {
  if (mode != kPosByte) return Fail(kErrorNotAvail, kPositionError);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kPositionError);
  std::lock_guard lock(ch->mu());
  int err = kErrorOk;
  uint64_t r = ch->decoding() ? static_cast<DecodeChannel*>(ch.get())->LengthBytes(&err)
                              : static_cast<PlayChannel*>(ch.get())->LengthBytes(&err);
  t_error = err;
  return r;
}

uint64_t ChannelGetPosition(AudioHandle handle, uint32_t mode) {
  if (mode != kPosByte) return Fail(kErrorNotAvail, kPositionError);
  if (PlayChannel* m = MixtimeTarget(handle)) {
    Ok();
    return m->PositionBytes();
  }
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, kPositionError);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kPositionError);
  std::lock_guard lock(ch->mu());
  Ok();
  return ch->decoding() ? static_cast<DecodeChannel*>(ch.get())->PositionBytes()
                        : static_cast<PlayChannel*>(ch.get())->PositionBytes();
}

bool ChannelSetPosition(AudioHandle handle, uint64_t pos, uint32_t mode) {
  if (mode != kPosByte) return Fail(kErrorNotAvail, false);
  int err = kErrorOk;
  if (PlayChannel* m = MixtimeTarget(handle)) {
    if (!m->MixerSetPositionFrame(static_cast<int64_t>(pos / m->frame_bytes()), &err)) return Fail(err, false);
    return Ok();
  }
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  if (pos > (uint64_t{1} << 62)) return Fail(kErrorPosition, false);
  // Whole frames only: a position inside a frame would swap the channels.
  const int64_t frame = static_cast<int64_t>(pos / ch->frame_bytes());
  std::lock_guard lock(ch->mu());
  bool ok = ch->decoding() ? static_cast<DecodeChannel*>(ch.get())->SetPositionFrame(frame, &err)
                           : static_cast<PlayChannel*>(ch.get())->SetPositionFrame(frame, &err);
  if (!ok) return Fail(err, false);
  return Ok();
}

double ChannelBytes2Seconds(AudioHandle handle, uint64_t pos) {
  if (PlayChannel* m = MixtimeTarget(handle)) return m->Bytes2Seconds(pos);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, -1.0);
  Ok();
  return ch->Bytes2Seconds(pos);
}

uint64_t ChannelSeconds2Bytes(AudioHandle handle, double pos) {
  if (PlayChannel* m = MixtimeTarget(handle)) return m->Seconds2Bytes(pos);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kPositionError);
  Ok();
  return ch->Seconds2Bytes(pos);
}

uint32_t ChannelGetData(AudioHandle handle, void* buffer, uint32_t length) {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, kDataError);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kDataError);
  std::lock_guard lock(ch->mu());
  if (!ch->decoding()) {
    if (length == kDataAvailable) {
      Ok();
      return static_cast<PlayChannel*>(ch.get())->QueuedBytes();
    }
    return Fail(kErrorNotAvail, kDataError);
  }
  if (length & ~(kDataLengthMask | kDataFloat)) return Fail(kErrorIllParam, kDataError);
  int err = kErrorOk;
  uint32_t r = static_cast<DecodeChannel*>(ch.get())->GetData(buffer, length & kDataLengthMask,
                                                              (length & kDataFloat) != 0, &err);
  t_error = err;
  return r;
}

// Runs `op` on a playable channel under its lock, from outside the mixer:
// the common checks and error codes of play, pause and stop.
template <typename Op>
bool WithPlayChannel(AudioHandle handle, Op op) {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  if (ch->decoding()) return Fail(kErrorDecode, false);
  std::lock_guard lock(ch->mu());
  int err = kErrorOk;
  if (!op(static_cast<PlayChannel*>(ch.get()), &err)) return Fail(err, false);
  return Ok();
}

bool ChannelPlay(AudioHandle handle, bool restart) {
  if (PlayChannel* m = MixtimeTarget(handle)) {
    if (restart) return Fail(kErrorNotAvail, false);
    m->MixerPlay();
    return Ok();
  }
  return WithPlayChannel(handle, [&](PlayChannel* c, int* err) { return c->Play(restart, err); });
}

bool ChannelPause(AudioHandle handle) {
  if (PlayChannel* m = MixtimeTarget(handle)) {
    if (!m->MixerPause()) return Fail(kErrorNoPlay, false);
    return Ok();
  }
  return WithPlayChannel(handle, [](PlayChannel* c, int* err) { return c->Pause(err); });
}

bool ChannelStop(AudioHandle handle) {
  // Stopping always succeeds once the channel is found.
  return WithPlayChannel(handle, [](PlayChannel* c, int* err) {
    c->Stop(err);
    return true;
  });
}

uint32_t ChannelIsActive(AudioHandle handle) {
  if (PlayChannel* m = MixtimeTarget(handle)) {
    Ok();
    return m->IsActive();
  }
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, kActiveStopped);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, kActiveStopped);
  Ok();
  if (ch->decoding()) {
    std::lock_guard lock(ch->mu());
    return static_cast<DecodeChannel*>(ch.get())->ended() ? kActiveStopped : kActivePlaying;
  }
  return static_cast<PlayChannel*>(ch.get())->IsActive();
}

// ---- attributes and hooks ----

bool ChannelSetAttribute(AudioHandle handle, uint32_t attrib, float value) {
  return ChannelSlideAttribute(handle, attrib, value, 0);
}

bool ChannelSlideAttribute(AudioHandle handle, uint32_t attrib, float value, uint32_t time_ms) {
  int err = kErrorOk;
  if (PlayChannel* m = MixtimeTarget(handle)) {
    if (!m->SetAttribute(attrib, value, time_ms, &err)) return Fail(err, false);
    return Ok();
  }
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  std::lock_guard lock(ch->mu());
  if (!ch->SetAttribute(attrib, value, time_ms, &err)) return Fail(err, false);
  return Ok();
}

bool ChannelGetAttribute(AudioHandle handle, uint32_t attrib, float* value) {
  if (!value) return Fail(kErrorIllParam, false);
  int err = kErrorOk;
  if (PlayChannel* m = MixtimeTarget(handle)) {
    if (!m->GetAttribute(attrib, value, &err)) return Fail(err, false);
    return Ok();
  }
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  std::lock_guard lock(ch->mu());
  if (!ch->GetAttribute(attrib, value, &err)) return Fail(err, false);
  return Ok();
}

bool ChannelIsSliding(AudioHandle handle, uint32_t attrib) {
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  Ok();
  return ch->IsSliding(attrib);
}

SyncHandle ChannelSetSync(AudioHandle handle, uint32_t type, uint64_t param, SyncProc proc, void* user) {
  if (audio_internal::InMixer()) return Fail<SyncHandle>(kErrorNotAvail, 0);
  if (!proc) return Fail<SyncHandle>(kErrorIllParam, 0);
  auto ch = Find(handle);
  if (!ch) return Fail<SyncHandle>(kErrorHandle, 0);
  const uint32_t base = type & ~(kSyncMixtime | kSyncOnetime);
  if (base != kSyncPos && base != kSyncEnd) return Fail<SyncHandle>(kErrorIllType, 0);
  auto entry = std::make_shared<audio_internal::SyncEntry>();
  entry->handle = NewHandle();
  entry->type = base;
  entry->mixtime = (type & kSyncMixtime) != 0;
  entry->onetime = (type & kSyncOnetime) != 0;
  entry->proc = proc;
  entry->user = user;
  if (base == kSyncPos) {
    entry->frame = static_cast<int64_t>(param / ch->frame_bytes());
    entry->byte_pos = static_cast<uint32_t>(param);
  }
  {
    std::lock_guard lock(ch->mu());
    ch->AddSync(entry);
  }
  {
    Library& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.hooks[entry->handle] = handle;
  }
  Ok();
  return entry->handle;
}

namespace {

bool RemoveHook(AudioHandle handle, AudioHandle hook, bool sync) {
  if (audio_internal::InMixer()) return Fail(kErrorNotAvail, false);
  auto ch = Find(handle);
  if (!ch) return Fail(kErrorHandle, false);
  bool found;
  {
    std::lock_guard lock(ch->mu());
    found = sync ? ch->RemoveSync(hook) : ch->RemoveChainEntry(hook);
  }
  if (!found) return Fail(kErrorHandle, false);
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  lib.hooks.erase(hook);
  return Ok();
}

AudioHandle AddChain(AudioHandle handle, audio_internal::ChainEntry entry) {
  if (audio_internal::InMixer()) return Fail<AudioHandle>(kErrorNotAvail, 0);
  auto ch = Find(handle);
  if (!ch) return Fail<AudioHandle>(kErrorHandle, 0);
  static std::atomic<uint64_t> order{0};
  entry.handle = NewHandle();
  entry.order = order.fetch_add(1);
  const AudioHandle h = entry.handle;
  {
    std::lock_guard lock(ch->mu());
    ch->AddChainEntry(std::move(entry));
  }
  Library& lib = Lib();
  std::lock_guard lock(lib.mu);
  lib.hooks[h] = handle;
  Ok();
  return h;
}

}  // namespace

bool ChannelRemoveSync(AudioHandle handle, SyncHandle sync) { return RemoveHook(handle, sync, true); }

DspHandle ChannelSetDSP(AudioHandle handle, DspProc proc, void* user, int priority) {
  if (!proc) return Fail<DspHandle>(kErrorIllParam, 0);
  audio_internal::ChainEntry e;
  e.priority = priority;
  e.proc = proc;
  e.user = user;
  return AddChain(handle, std::move(e));
}

bool ChannelRemoveDSP(AudioHandle handle, DspHandle dsp) { return RemoveHook(handle, dsp, false); }

FxHandle ChannelSetFX(AudioHandle handle, uint32_t type, int priority) {
  if (type != kFxParamEq) return Fail<FxHandle>(kErrorIllType, 0);
  audio_internal::ChainEntry e;
  e.priority = priority;
  e.eq = std::make_shared<audio_internal::ParamEq>();
  e.eq->SetParameters(ParamEqParameters{8000.0f, 12.0f, 0.0f});
  return AddChain(handle, std::move(e));
}

bool ChannelRemoveFX(AudioHandle handle, FxHandle fx) { return RemoveHook(handle, fx, false); }

bool FXSetParameters(FxHandle fx, const void* params) {
  if (!params) return Fail(kErrorIllParam, false);
  auto ch = FindHookOwner(fx);
  if (!ch) return Fail(kErrorHandle, false);
  std::lock_guard lock(ch->mu());
  auto eq = ch->FindEq(fx);
  if (!eq) return Fail(kErrorHandle, false);
  eq->SetParameters(*static_cast<const ParamEqParameters*>(params));
  return Ok();
}

bool FXGetParameters(FxHandle fx, void* params) {
  if (!params) return Fail(kErrorIllParam, false);
  auto ch = FindHookOwner(fx);
  if (!ch) return Fail(kErrorHandle, false);
  std::lock_guard lock(ch->mu());
  auto eq = ch->FindEq(fx);
  if (!eq) return Fail(kErrorHandle, false);
  *static_cast<ParamEqParameters*>(params) = eq->GetParameters();
  return Ok();
}

}  // namespace qv3
