// audiolib: the project's audio library layer. Decoding streams from files,
// push streams and playable file streams, one mixer driving the output
// device, attributes and slides, DSP hooks, parametric-equaliser effects and
// position syncs. Handles, flags, codes and states follow one classic
// handle-based C-style audio API so that callers can keep its semantics:
// positions and lengths are bytes of the channel's sample format, calls
// report failure through their return value and leave the reason in
// ErrorGetCode() of the calling thread.
//
// Thread-safety contract
// ----------------------
// * Every function may be called from any ordinary thread; calls on
//   different channels run in parallel, calls on one channel are serialised
//   by that channel's own lock. The error code is per thread.
// * AudioInit / AudioFree must not race with other calls (call them from the
//   main thread while no worker uses the library).
// * The mixer (the output device's callback, or the null device's thread, or
//   AudioAdvanceManual on the caller's thread) never takes a lock, never
//   allocates and does no I/O. DSP procedures and mix-time sync procedures run
//   inside it:
//   - A DSP procedure must not call the library.
//   - A mix-time sync procedure (kSyncMixtime) may call, on the channel it
//     was set on only: ChannelSetPosition, ChannelPause, ChannelPlay (no
//     restart), ChannelIsActive, ChannelGetPosition, ChannelGetInfo,
//     ChannelBytes2Seconds, ChannelSeconds2Bytes, Channel{Set,Get}Attribute
//     and ChannelSlideAttribute. They take effect at the exact sample where the
//     sync fired, so a handler that sets the position repeats a slice
//     sample-exactly (a jump within the last seconds of a file stream is
//     gapless; further ones wait for the decoder). Any other call from there
//     fails with kErrorNotAvail.
//   - Syncs without kSyncMixtime are delivered on the library's sync thread
//     shortly after the position was mixed; there any call is allowed.
// * Decoding channels (kStreamDecode) run their DSP, effects and syncs on the
//   thread calling ChannelGetData. They need no AudioInit; playable streams do.
// * ChannelStop, ChannelSetPosition, StreamFree, ChannelRemoveDSP/FX/Sync
//   called from an ordinary thread wait (briefly, a spin of at most one
//   mixer period) until the mixer no longer touches what they change, so
//   after they return the removed procedure is never called again.
#ifndef QV3_AUDIOLIB_AUDIOLIB_H_
#define QV3_AUDIOLIB_AUDIOLIB_H_

#include <cstdint>

namespace qv3 {

// Handles are 32-bit ids; 0 is "none". Stream, sync, DSP and FX handles
// share one numbering space and are never reused while the library runs.
using AudioHandle = uint32_t;
using StreamHandle = AudioHandle;
using SyncHandle = AudioHandle;
using DspHandle = AudioHandle;
using FxHandle = AudioHandle;

// ---- Error codes (ErrorGetCode) ----
inline constexpr int kErrorOk = 0;
inline constexpr int kErrorMem = 1;           // insufficient memory
inline constexpr int kErrorFileOpen = 2;      // the file could not be opened
inline constexpr int kErrorDriver = 3;        // no available device driver
inline constexpr int kErrorHandle = 5;        // invalid handle
inline constexpr int kErrorFormat = 6;        // format not supported by the device
inline constexpr int kErrorPosition = 7;      // invalid position
inline constexpr int kErrorInit = 8;          // AudioInit has not been called
inline constexpr int kErrorAlready = 14;      // already initialised / already done
inline constexpr int kErrorNotAudio = 17;     // file has no audio
inline constexpr int kErrorIllType = 19;      // illegal type
inline constexpr int kErrorIllParam = 20;     // illegal parameter
inline constexpr int kErrorNo3d = 21;         // no 3D support
inline constexpr int kErrorDevice = 23;       // invalid device number
inline constexpr int kErrorNoPlay = 24;       // not playing
inline constexpr int kErrorNotFile = 27;      // the stream is not a file stream
inline constexpr int kErrorNoFx = 34;         // effect not available
inline constexpr int kErrorNotAvail = 37;     // requested data/action not available
inline constexpr int kErrorDecode = 38;       // the channel is (not) a decoding channel
inline constexpr int kErrorFileForm = 41;     // unsupported file format
inline constexpr int kErrorCodec = 44;        // codec not available
inline constexpr int kErrorEnded = 45;        // the channel/queue has ended
inline constexpr int kErrorUnknown = -1;      // some other problem
inline constexpr int kErrorProtected = 1000;  // DRM-protected (WMA) file

// ---- Set-up ----
// Version: high word 0x0204, low word the build (callers check the high word).
inline constexpr uint32_t kAudioVersion = 0x02040000u;
uint32_t AudioGetVersion();

// Devices: -1 the default output (PortAudio's default device, reaching the
// sound server through ALSA), 0 no sound (the null device: consumes audio at
// real time, latency 0), 1.. PortAudio devices in their order + 1. The
// environment variable QV3_AUDIO_DEVICE=null turns device -1 into the null
// device for tests and headless runs. freq is the wished mixer rate; a
// device that refuses it runs at its own default rate and the mixer
// resamples (AudioGetInfoRate tells the rate in use); freq 0 means 44100.
// flags are ignored.
// Errors: 14 already, 23 bad device, 3 no driver, 6 format, 1 memory, -1.
bool AudioInit(int device, uint32_t freq, uint32_t flags);
// Stops the output and frees every stream, sync, DSP and effect.
bool AudioFree();
// Mixer rate and the output latency in frames the position accounts for.
uint32_t AudioGetInfoRate();
uint32_t AudioGetLatencyFrames();

// A manual-clock device for tests: nothing runs by itself; each
// AudioAdvanceManual mixes `frames` frames on the caller's thread (in periods
// of at most 4096 frames) and, when `out` is given, stores them there as
// interleaved stereo floats. latency_frames is what positions subtract.
bool AudioInitManual(uint32_t freq, uint32_t latency_frames);
bool AudioAdvanceManual(uint32_t frames, float* out);

// Plug-ins: every codec is built in; loading is accepted as a no-op and
// returns a non-zero handle.
AudioHandle AudioPluginLoad(const char* file, uint32_t flags);

// Error code of the last call made on this thread.
int ErrorGetCode();

// ---- Flags ----
inline constexpr uint32_t kSampleFloat = 0x100;        // 32-bit float samples
inline constexpr uint32_t kStreamPrescan = 0x20000;    // scan the file for exact length/seeking
inline constexpr uint32_t kStreamAutoFree = 0x40000;   // playable: freed (by the sync thread) at its end
inline constexpr uint32_t kStreamDecode = 0x200000;    // decode only (ChannelGetData), never plays
inline constexpr uint32_t kFxFreeSource = 0x10000;     // TempoCreate: free the source with it

inline constexpr uint32_t kStreamEnd = 0x80000000u;    // StreamPutData: end of the queue
inline constexpr uint32_t kDataFloat = 0x40000000u;    // ChannelGetData: deliver floats
inline constexpr uint32_t kDataAvailable = 0;          // ChannelGetData: bytes queued (push streams)
inline constexpr uint32_t kDataLengthMask = 0x0fffffffu;
inline constexpr uint32_t kDataError = 0xffffffffu;    // ChannelGetData / StreamPutData failure or end

inline constexpr uint32_t kPosByte = 0;                // position mode: bytes
inline constexpr uint32_t kFilePosCurrent = 0;         // StreamGetFilePosition modes
inline constexpr uint32_t kFilePosEnd = 2;             // the file size
inline constexpr uint64_t kPositionError = ~uint64_t{0};

// Channel types (ChannelInfo::ctype).
inline constexpr uint32_t kCtypeStream = 0x10000;      // push stream / generic
inline constexpr uint32_t kCtypeStreamOgg = 0x10002;
inline constexpr uint32_t kCtypeStreamMp3 = 0x10005;
inline constexpr uint32_t kCtypeStreamAiff = 0x10006;
inline constexpr uint32_t kCtypeStreamFlac = 0x10900;
inline constexpr uint32_t kCtypeStreamOpus = 0x11200;
inline constexpr uint32_t kCtypeStreamAac = 0x10b00;
inline constexpr uint32_t kCtypeStreamWma = 0x10300;
inline constexpr uint32_t kCtypeStreamTempo = 0x1f200;
inline constexpr uint32_t kCtypeStreamWav = 0x40000;   // | the WAV format tag
inline constexpr uint32_t kCtypeStreamWavPcm = 0x50001;
inline constexpr uint32_t kCtypeStreamWavFloat = 0x50003;

// Channel states (ChannelIsActive).
inline constexpr uint32_t kActiveStopped = 0;
inline constexpr uint32_t kActivePlaying = 1;
inline constexpr uint32_t kActiveStalled = 2;  // playing but out of data
inline constexpr uint32_t kActivePaused = 3;

// Attributes.
inline constexpr uint32_t kAttribVol = 2;  // 0.0 .. 1.0 (more amplifies)
inline constexpr uint32_t kAttribPan = 3;  // -1 left only .. +1 right only

// Syncs.
inline constexpr uint32_t kSyncPos = 0;               // param: byte position
inline constexpr uint32_t kSyncEnd = 2;               // end of the stream or queue
inline constexpr uint32_t kSyncMixtime = 0x40000000u; // run inside the mixer
inline constexpr uint32_t kSyncOnetime = 0x80000000u; // remove after the first call

// Effects.
inline constexpr uint32_t kFxParamEq = 7;  // peaking equaliser band, ParamEqParameters

// Eight 32-bit fields as the calling code expects them.
struct ChannelInfo {
  uint32_t freq;      // sample rate in Hz
  uint32_t chans;     // channel count
  uint32_t flags;     // stream flags (kSampleFloat, kStreamDecode ...)
  uint32_t ctype;     // channel type
  uint32_t origres;   // source resolution in bits, 0 when the codec does not tell
  uint32_t plugin;    // always 0
  uint32_t sample;    // always 0
  const char* filename;  // the file of a file stream (owned by the stream), else nullptr
};

// Peaking biquad: centre in Hz, bandwidth in semitones (1..36), gain in dB
// (-15..15). Bands at or above 0.45 x the channel rate are bypassed.
struct ParamEqParameters {
  float center;
  float bandwidth;
  float gain;
};

// buffer holds `length` bytes of interleaved samples in the channel's format
// (16-bit or float); the procedure changes them in place.
using DspProc = void (*)(DspHandle handle, StreamHandle channel, void* buffer,
                         uint32_t length, void* user);
// data: the byte position for position syncs, 0 otherwise.
using SyncProc = void (*)(SyncHandle handle, StreamHandle channel,
                          uint32_t data, void* user);

// ---- Streams ----
// Opens a file stream. offset/length must be 0 (the whole file). Decoding
// streams (kStreamDecode) deliver data through ChannelGetData only; without
// it the stream plays through the mixer. Errors: 2 missing/unreadable file,
// 41 unsupported format, 1000 DRM-protected WMA, 8 not initialised,
// 20 bad parameter, 1 memory.
StreamHandle StreamCreateFile(const char* file, uint64_t offset,
                              uint64_t length, uint32_t flags);
// Same as StreamCreateFile; WMA files decode through the common decoders.
StreamHandle WmaStreamCreateFile(const char* file, uint64_t offset,
                                 uint64_t length, uint32_t flags);
// A push stream: plays what StreamPutData queues; 16-bit samples unless
// kSampleFloat. While playing with an empty queue it reports kActiveStalled,
// after the end mark has been played out it stops (kActiveStopped).
StreamHandle StreamCreatePush(uint32_t freq, uint32_t chans, uint32_t flags);
// Queues `length` bytes (whole frames; a partial frame is held back until
// completed). length | kStreamEnd marks the end of the queue (data may come
// with it). Returns the bytes queued and not yet played, or kDataError
// (45 after the end mark, 5 bad handle, 37 not a push stream). Float data
// is sanitised (NaN becomes 0, infinities are limited).
uint32_t StreamPutData(StreamHandle handle, const void* buffer, uint32_t length);
bool StreamFree(StreamHandle handle);
// Mode kFilePosEnd: the file size in bytes; kFilePosCurrent: bytes read.
uint64_t StreamGetFilePosition(StreamHandle handle, uint32_t mode);

// A neutral tempo wrapper around a decoding channel: the same data, format
// and positions; kFxFreeSource frees the source with it.
StreamHandle TempoCreate(StreamHandle chan, uint32_t flags);

// ---- Channels ----
bool ChannelGetInfo(AudioHandle handle, ChannelInfo* info);
// Length in bytes of the channel's sample format (exact where the file tells
// or after a prescan; an estimate otherwise, corrected once the end has been
// decoded). Push streams: bytes queued in total since the last stop.
uint64_t ChannelGetLength(AudioHandle handle, uint32_t mode);
// Decoding channels: the decode position. Playing channels: the position
// being heard (mixed minus the output latency). kPositionError on failure.
uint64_t ChannelGetPosition(AudioHandle handle, uint32_t mode);
// Floored to whole frames; sample-exact on every decoder. Push streams
// accept only 0 (which discards the queue).
bool ChannelSetPosition(AudioHandle handle, uint64_t pos, uint32_t mode);
double ChannelBytes2Seconds(AudioHandle handle, uint64_t pos);
uint64_t ChannelSeconds2Bytes(AudioHandle handle, double pos);
// Decoding channels: reads up to (length & kDataLengthMask) bytes, in floats
// when kDataFloat is set; returns the bytes delivered, kDataError (45) at the
// end. kDataAvailable on a playing channel: bytes queued.
uint32_t ChannelGetData(AudioHandle handle, void* buffer, uint32_t length);

bool ChannelPlay(AudioHandle handle, bool restart);
bool ChannelPause(AudioHandle handle);
// Stops; a push stream's queue is discarded and its position returns to 0.
bool ChannelStop(AudioHandle handle);
uint32_t ChannelIsActive(AudioHandle handle);

// ---- Attributes and hooks ----
bool ChannelSetAttribute(AudioHandle handle, uint32_t attrib, float value);
bool ChannelGetAttribute(AudioHandle handle, uint32_t attrib, float* value);
// Linear per-sample ramp from the current value to `value` over time_ms of
// output; a new set or slide replaces a running slide.
bool ChannelSlideAttribute(AudioHandle handle, uint32_t attrib, float value,
                           uint32_t time_ms);
bool ChannelIsSliding(AudioHandle handle, uint32_t attrib);

SyncHandle ChannelSetSync(AudioHandle handle, uint32_t type, uint64_t param,
                          SyncProc proc, void* user);
bool ChannelRemoveSync(AudioHandle handle, SyncHandle sync);

// DSP procedures and effects form one chain per channel, called in
// descending priority (equal priorities in the order they were set).
DspHandle ChannelSetDSP(AudioHandle handle, DspProc proc, void* user, int priority);
bool ChannelRemoveDSP(AudioHandle handle, DspHandle dsp);
FxHandle ChannelSetFX(AudioHandle handle, uint32_t type, int priority);
bool ChannelRemoveFX(AudioHandle handle, FxHandle fx);
// params points to ParamEqParameters for kFxParamEq.
bool FXSetParameters(FxHandle fx, const void* params);
bool FXGetParameters(FxHandle fx, void* params);

}  // namespace qv3

#endif  // QV3_AUDIOLIB_AUDIOLIB_H_
