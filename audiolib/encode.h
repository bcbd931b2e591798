// Encoders of the audio library layer: MP3 files through LAME and WMA (v2)
// files in an ASF container through FFmpeg. Both take interleaved float
// blocks (full scale +-1.0) of the stream they were started for; the caller
// scales them first. Failures carry the library's error codes
// (37 format not available, 2 the file cannot be created, 1 memory,
// -1 anything else) in error(); write failures (a full disk) make Write()
// or Stop() return false rather than leave a short file looking finished.
//
// An external command-line encoder fed on its standard input lives with the
// export code, which owns the WAV stream it is fed.
#ifndef QV3_AUDIOLIB_ENCODE_H_
#define QV3_AUDIOLIB_ENCODE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qv3 {

// One MP3 format LAME can write: constant bit rate at the stream's rate and
// channel count (LAME is not asked to resample or remix).
struct Mp3Format {
  int sample_rate = 0;
  int channels = 0;
  int kbps = 0;
  // "192 kBit/s, 44,100 Hz, Stereo"
  std::string description;
};

// The formats offered for a stream, highest bit rate first; empty when LAME
// cannot write that rate (e.g. 96000 Hz) or channel count.
std::vector<Mp3Format> Mp3Formats(int sample_rate, int channels);

// "%.3f" of rate / 1000 with its point replaced by a comma: 44100 -> "44,100".
std::string RateWithComma(int sample_rate);

class Mp3Encoder {
 public:
  Mp3Encoder();
  ~Mp3Encoder();  // closes an unfinished file as it is
  Mp3Encoder(const Mp3Encoder&) = delete;
  Mp3Encoder& operator=(const Mp3Encoder&) = delete;

  // Creates `path` for a stream of `format.sample_rate` / `format.channels`.
  // 37 when the format is not one of Mp3Formats() for that stream.
  bool Start(const std::string& path, const Mp3Format& format);
  bool Write(const float* interleaved, size_t frames);
  // Flushes LAME, writes the VBR/info tag and closes; false if any write failed.
  bool Stop();
  int error() const { return error_; }

 private:
  struct Lame;
  std::unique_ptr<Lame> lame_;
  FILE* file_ = nullptr;
  int channels_ = 0;
  bool failed_ = false;
  int error_ = 0;
  std::vector<unsigned char> out_;
};

// Bit rates (bits per second) the WMA writer offers for a rate and channel
// count, highest first; empty when it cannot encode them.
std::vector<int> WmaEncodeGetRates(int sample_rate, int channels);

class WmaEncoder {
 public:
  WmaEncoder();
  ~WmaEncoder();  // an unfinished file is closed as it is
  WmaEncoder(const WmaEncoder&) = delete;
  WmaEncoder& operator=(const WmaEncoder&) = delete;

  // Opens `path` as an ASF file with one WMA v2 stream. 37 when the rate,
  // channel count or bit rate is not available.
  bool Open(const std::string& path, int sample_rate, int channels, int bit_rate);
  // Interleaved 16-bit samples, any number of frames.
  bool Write(const int16_t* interleaved, size_t frames);
  // Flushes the encoder and writes the trailer; false if anything failed.
  bool Close();
  int error() const { return error_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int error_ = 0;
};

}  // namespace qv3

#endif  // QV3_AUDIOLIB_ENCODE_H_
