#include "engine/frame_range_kernels.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace qv3 {
namespace {

// libsndfile reports a failed write inside sf_close (header update, the last
// FLAC block) only to its own log, and sf_close returns just close(2)'s result.
// The files are therefore opened on our own descriptors through the virtual
// I/O interface, whose callbacks remember any read or write error. They also
// buffer: libsndfile moves 8 kB at a time, which would cost a system call per
// 2000 stereo frames.
class BufferedFd {
 public:
  static constexpr size_t kBufferBytes = 256 * 1024;

  bool Open(const char* path, int flags) {
    fd_ = open(path, flags | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    buffer_.resize(kBufferBytes);
    return true;
  }
  // Writes out what is buffered and closes; false when anything failed.
  bool Close() {
    bool ok = Flush() && !failed_;
    if (fd_ >= 0 && close(fd_) != 0) ok = false;
    fd_ = -1;
    return ok;
  }
  int fd() const { return fd_; }
  bool failed() const { return failed_; }

  sf_count_t Length() {
    struct stat st;
    if (!Flush() || fstat(fd_, &st) != 0) return -1;
    return st.st_size;
  }

  sf_count_t Tell() {
    const off_t at = lseek(fd_, 0, SEEK_CUR);
    if (at < 0) return at;
    return at + static_cast<off_t>(pending_) - static_cast<off_t>(read_end_ - read_at_);
  }

  sf_count_t Seek(sf_count_t offset, int whence) {
    if (whence == SEEK_CUR) {
      const sf_count_t at = Tell();
      if (at < 0) return at;
      offset += at;
      whence = SEEK_SET;
    }
    if (!Flush()) return -1;
    read_at_ = read_end_ = 0;
    return lseek(fd_, offset, whence);
  }

  sf_count_t Read(void* ptr, sf_count_t count) {
    if (!Flush()) return 0;
    char* out = static_cast<char*>(ptr);
    sf_count_t done = 0;
    while (done < count) {
      if (read_at_ < read_end_) {
        const size_t n = std::min(read_end_ - read_at_, static_cast<size_t>(count - done));
        std::memcpy(out + done, buffer_.data() + read_at_, n);
        read_at_ += n;
        done += static_cast<sf_count_t>(n);
        continue;
      }
      const bool direct = static_cast<size_t>(count - done) >= kBufferBytes;
      ssize_t n = direct ? read(fd_, out + done, static_cast<size_t>(count - done))
                         : read(fd_, buffer_.data(), kBufferBytes);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed_ = true;
      if (n <= 0) break;
      if (direct) {
        done += n;
      } else {
        read_at_ = 0;
        read_end_ = static_cast<size_t>(n);
      }
    }
    return done;
  }

  sf_count_t Write(const void* ptr, sf_count_t count) {
    if (read_at_ < read_end_) {  // give back read-ahead so the write lands in place
      lseek(fd_, -static_cast<off_t>(read_end_ - read_at_), SEEK_CUR);
    }
    read_at_ = read_end_ = 0;
    const size_t bytes = static_cast<size_t>(count);
    if (pending_ + bytes > kBufferBytes && !Flush()) return 0;
    if (bytes >= kBufferBytes) return WriteAll(static_cast<const char*>(ptr), bytes);
    std::memcpy(buffer_.data() + pending_, ptr, bytes);
    pending_ += bytes;
    return count;
  }

 private:
  sf_count_t WriteAll(const char* p, size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
      ssize_t n = write(fd_, p + done, bytes - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed_ = true;
        break;
      }
      done += static_cast<size_t>(n);
    }
    return static_cast<sf_count_t>(done);
  }

  bool Flush() {
    if (pending_ == 0) return true;
    const size_t bytes = pending_;
    pending_ = 0;
    return WriteAll(buffer_.data(), bytes) == static_cast<sf_count_t>(bytes);
  }

  int fd_ = -1;
  bool failed_ = false;
  std::vector<char> buffer_;
  size_t read_at_ = 0, read_end_ = 0;  // unread read-ahead: buffer_[read_at_, read_end_)
  size_t pending_ = 0;                 // bytes written into buffer_, not yet to the file
};

sf_count_t VioLength(void* user) { return static_cast<BufferedFd*>(user)->Length(); }
sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
  return static_cast<BufferedFd*>(user)->Seek(offset, whence);
}
sf_count_t VioTell(void* user) { return static_cast<BufferedFd*>(user)->Tell(); }
sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
  return static_cast<BufferedFd*>(user)->Read(ptr, count);
}
sf_count_t VioWrite(const void* ptr, sf_count_t count, void* user) {
  return static_cast<BufferedFd*>(user)->Write(ptr, count);
}

SF_VIRTUAL_IO g_fd_io = {VioLength, VioSeek, VioRead, VioWrite, VioTell};

// Integer PCM is read and written without normalisation: libsndfile's
// normalised doubles do not round-trip it (16-bit 32767 would come back as
// 32766). Companded formats stay normalised, their only exact round trip
// (a-law loses codes un-normalised).
bool IsPcm(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
      return true;
    default:
      return false;
  }
}
bool IsFloat(int format) { return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT; }

int PcmBits(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 8;
    case SF_FORMAT_PCM_24:
      return 24;
    case SF_FORMAT_PCM_32:
      return 32;
    default:
      return 16;
  }
}

// The value of full scale in the doubles a file delivers: 1.0 when normalised,
// else the integer range of its samples.
double SampleScale(int format) {
  if (!IsPcm(format)) return 1.0;
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 128.0;
    case SF_FORMAT_PCM_24:
      return 8388608.0;
    case SF_FORMAT_PCM_32:
      return 2147483648.0;
    default:
      return 32768.0;
  }
}

// One sound file on its own descriptor.
class SoundFile {
 public:
  SoundFile() = default;
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile() { Close(); }

  bool OpenRead(const std::string& path) {
    if (!io_.Open(path.c_str(), O_RDONLY)) return false;
    info_ = SF_INFO{};
    sf_ = sf_open_virtual(&g_fd_io, SFM_READ, &info_, &io_);
    if (!sf_ || info_.channels <= 0) return false;
    Configure();
    return true;
  }

  bool Create(const std::string& path, const SF_INFO& like) {
    if (!io_.Open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC)) return false;
    info_ = SF_INFO{};
    info_.samplerate = like.samplerate;
    info_.channels = like.channels;
    info_.format = like.format;
    sf_ = sf_open_virtual(&g_fd_io, SFM_WRITE, &info_, &io_);
    if (!sf_) return false;
    Configure();
    // Gain above 1 must clip rather than wrap around (20000 x 2 -> -25537).
    sf_command(sf_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
  }

  // True when everything written reached the file and the close succeeded.
  bool Close() {
    bool ok = true;
    if (sf_) {
      if (sf_close(sf_) != 0) ok = false;
      sf_ = nullptr;
    }
    if (!io_.Close()) ok = false;
    return ok;
  }

  // True when the last short read was caused by an error, not the end.
  bool ReadFailed() const { return io_.failed() || (sf_ && sf_error(sf_) != SF_ERR_NO_ERROR); }

  bool SameFileAs(const std::string& path) const {
    struct stat mine, other;
    if (fstat(io_.fd(), &mine) != 0 || stat(path.c_str(), &other) != 0) return false;
    return mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
  }

  SNDFILE* sf() const { return sf_; }
  const SF_INFO& info() const { return info_; }
  int channels() const { return info_.channels; }
  double scale() const { return SampleScale(info_.format); }

 private:
  void Configure() {
    if (IsPcm(info_.format)) sf_command(sf_, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
  }

  BufferedFd io_;
  SNDFILE* sf_ = nullptr;
  SF_INFO info_{};
};

constexpr int64_t kToEnd = -1;

// The chunk buffer of one call, 10000 frames in the sample type a phase
// needs: left-justified ints for PCM, floats for untouched float frames,
// doubles otherwise. Each is allocated on first use and then reused.
class Chunk {
 public:
  explicit Chunk(int channels) : samples_(static_cast<size_t>(kKernelChunkFrames) * channels) {}
  double* doubles() { return Get(doubles_); }
  int* ints() { return Get(ints_); }
  float* floats() { return Get(floats_); }
  short* shorts() { return Get(shorts_); }

 private:
  template <typename T>
  T* Get(std::vector<T>& v) {
    if (v.empty()) v.resize(samples_);
    return v.data();
  }

  size_t samples_;
  std::vector<double> doubles_;
  std::vector<int> ints_;
  std::vector<float> floats_;
  std::vector<short> shorts_;
};

sf_count_t ReadFrames(SNDFILE* f, double* p, sf_count_t n) { return sf_readf_double(f, p, n); }
sf_count_t ReadFrames(SNDFILE* f, int* p, sf_count_t n) { return sf_readf_int(f, p, n); }
sf_count_t ReadFrames(SNDFILE* f, float* p, sf_count_t n) { return sf_readf_float(f, p, n); }
sf_count_t ReadFrames(SNDFILE* f, short* p, sf_count_t n) { return sf_readf_short(f, p, n); }
sf_count_t WriteFrames(SNDFILE* f, double* p, sf_count_t n) { return sf_writef_double(f, p, n); }
sf_count_t WriteFrames(SNDFILE* f, int* p, sf_count_t n) { return sf_writef_int(f, p, n); }
sf_count_t WriteFrames(SNDFILE* f, float* p, sf_count_t n) { return sf_writef_float(f, p, n); }
sf_count_t WriteFrames(SNDFILE* f, short* p, sf_count_t n) { return sf_writef_short(f, p, n); }

// Streams up to `frames` frames (kToEnd: until the source ends) from `in` to
// `out`, passing each chunk through shape(samples, frames). A read of 0
// frames ends the phase early.
template <typename T, typename Shape>
int PumpAs(SoundFile& in, SoundFile& out, T* buffer, int64_t frames, Shape&& shape,
           int read_error) {
  while (frames == kToEnd || frames > 0) {
    sf_count_t want = frames == kToEnd ? kKernelChunkFrames : std::min(frames, kKernelChunkFrames);
    sf_count_t got = ReadFrames(in.sf(), buffer, want);
    if (got < want && in.ReadFailed()) return read_error;
    if (got <= 0) break;
    shape(buffer, got);
    if (WriteFrames(out.sf(), buffer, got) != got) return kKernelWriteError;
    if (frames != kToEnd) frames -= got;
  }
  return kKernelDone;
}

// Frames that are scaled travel as doubles.
template <typename Shape>
int Pump(SoundFile& in, SoundFile& out, Chunk& chunk, int64_t frames, Shape&& shape,
         int read_error) {
  return PumpAs(in, out, chunk.doubles(), frames, shape, read_error);
}

// Bytes per frame of PCM that its container stores as plain samples, so its
// bytes can be copied as they are; 0 for anything else (FLAC compresses).
int RawFrameBytes(const SF_INFO& info) {
  switch (info.format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_AIFF:
    case SF_FORMAT_AU:
    case SF_FORMAT_W64:
    case SF_FORMAT_RF64:
    case SF_FORMAT_CAF:
      break;
    default:
      return 0;
  }
  return IsPcm(info.format) ? info.channels * PcmBits(info.format) / 8 : 0;
}

// Streams frames byte for byte (sf_read_raw / sf_write_raw): no conversion
// at all. The int buffer is large enough for any PCM frame size.
int RawMove(SoundFile& in, SoundFile& out, Chunk& chunk, int64_t frames, int read_error,
            int frame_bytes) {
  char* buffer = reinterpret_cast<char*>(chunk.ints());
  while (frames == kToEnd || frames > 0) {
    sf_count_t want = frames == kToEnd ? kKernelChunkFrames : std::min(frames, kKernelChunkFrames);
    sf_count_t got = sf_read_raw(in.sf(), buffer, want * frame_bytes) / frame_bytes;
    if (got < want && in.ReadFailed()) return read_error;
    if (got <= 0) break;
    if (sf_write_raw(out.sf(), buffer, got * frame_bytes) != got * frame_bytes) {
      return kKernelWriteError;
    }
    if (frames != kToEnd) frames -= got;
  }
  return kKernelDone;
}

// Frames that pass through untouched, in the same format on both sides, use
// a lane that is exact and cheaper than doubles: raw bytes where the
// container allows, else left-justified ints or floats.
int Move(SoundFile& in, SoundFile& out, Chunk& chunk, int64_t frames, int read_error) {
  auto unchanged = [](auto*, sf_count_t) {};
  const int a = in.info().format, b = out.info().format;
  if (a == b && in.channels() == out.channels()) {
    if (int frame_bytes = RawFrameBytes(in.info())) {
      return RawMove(in, out, chunk, frames, read_error, frame_bytes);
    }
  }
  if ((a & SF_FORMAT_SUBMASK) == (b & SF_FORMAT_SUBMASK)) {
    if (IsPcm(a)) return PumpAs(in, out, chunk.ints(), frames, unchanged, read_error);
    if (IsFloat(a)) return PumpAs(in, out, chunk.floats(), frames, unchanged, read_error);
  }
  return PumpAs(in, out, chunk.doubles(), frames, unchanged, read_error);
}

int Copy(SoundFile& in, SoundFile& out, Chunk& chunk, int64_t frames) {
  return Move(in, out, chunk, frames, kKernelSourceError);
}

// The common frame of every kernel: opens both files, runs `phases` and
// closes them, turning a failed close of the destination into a write error.
template <typename Phases>
int RunKernel(const std::string& source, const std::string& destination, Phases&& phases) {
  SoundFile in;
  if (!in.OpenRead(source)) return kKernelSourceError;
  // Truncating the destination would destroy the source before it is read.
  if (in.SameFileAs(destination)) return kKernelDestinationError;
  SoundFile out;
  if (!out.Create(destination, in.info())) return kKernelDestinationError;
  Chunk chunk(in.channels());
  int result = phases(in, out, chunk);
  bool closed = out.Close();
  if (result == kKernelDone && !closed) result = kKernelWriteError;
  return result;
}

// Scales one left-justified PCM sample (libsndfile's int interface): the value
// in the file's own units is multiplied in doubles, clipped to the format's
// range and rounded to nearest (ties to even). Same values as the normalised
// double path without its conversion cost, and without the downward bias of
// libsndfile's clipping converter.
class PcmScaler {
 public:
  // Samples of `bits` bits held left-justified in `container_bits` bits.
  PcmScaler(int bits, int container_bits) {
    shift_ = container_bits - bits;
    to_units_ = std::ldexp(1.0, -shift_);
    hi_ = std::ldexp(1.0, bits - 1) - 1.0;
    lo_ = -std::ldexp(1.0, bits - 1);
  }
  int32_t operator()(int32_t sample, double gain) const {
    double x = std::clamp(sample * to_units_ * gain, lo_, hi_);
    x = (x + kRound) - kRound;  // nearest integer, ties to even
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(x)) << shift_);
  }

 private:
  static constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52
  int shift_;
  double to_units_, lo_, hi_;
};

// Multiplies `frames` frames sample by sample, in interleaved order, by the
// successive values of next_gain(), which carries across chunks.
template <typename NextGain>
int Scale(SoundFile& in, SoundFile& out, Chunk& chunk, int64_t frames, NextGain&& next_gain) {
  const int channels = in.channels();
  const int format = in.info().format;
  if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
    // The system's own working format: shorts cross libsndfile unconverted.
    const PcmScaler scale(16, 16);
    return PumpAs(
        in, out, chunk.shorts(), frames,
        [&](short* s, sf_count_t n) {
          const int64_t samples = static_cast<int64_t>(n) * channels;
          for (int64_t i = 0; i < samples; ++i) {
            s[i] = static_cast<short>(scale(s[i], next_gain()));
          }
        },
        kKernelSourceError);
  }
  if (IsPcm(format)) {
    const PcmScaler scale(PcmBits(format), 32);
    return PumpAs(
        in, out, chunk.ints(), frames,
        [&](int* s, sf_count_t n) {
          const int64_t samples = static_cast<int64_t>(n) * channels;
          for (int64_t i = 0; i < samples; ++i) s[i] = scale(s[i], next_gain());
        },
        kKernelSourceError);
  }
  return Pump(
      in, out, chunk, frames,
      [&](double* s, sf_count_t n) {
        const int64_t samples = static_cast<int64_t>(n) * channels;
        for (int64_t i = 0; i < samples; ++i) s[i] *= next_gain();
      },
      kKernelSourceError);
}

// Copies the frames before `first`, scales first..last, copies the rest.
template <typename NextGain>
int ScaleRange(const std::string& source, const std::string& destination, int64_t first,
               int64_t last, NextGain&& make_gain) {
  return RunKernel(source, destination, [&](SoundFile& in, SoundFile& out, Chunk& chunk) {
    int r = Copy(in, out, chunk, std::max<int64_t>(first, 0));
    if (r != kKernelDone) return r;
    const int64_t count = last - first + 1;
    if (count > 0) {
      r = Scale(in, out, chunk, count, make_gain(count, in.channels()));
      if (r != kKernelDone) return r;
    }
    return Copy(in, out, chunk, kToEnd);
  });
}

// A per-sample linear ramp: step = 1 / frames / channels, starting at 0.0
// (rising, capped at 1.0) or 1.0 (falling, floored at 0.0).
int FadeKernel(const std::string& source, const std::string& destination, int64_t first,
               int64_t last, bool fade_in) {
  return ScaleRange(source, destination, first, last, [fade_in](int64_t count, int channels) {
    const double step = 1.0 / static_cast<double>(count) / channels;
    return [gain = fade_in ? 0.0 : 1.0, step = fade_in ? step : -step]() mutable {
      const double current = gain;
      gain = std::clamp(gain + step, 0.0, 1.0);
      return current;
    };
  });
}

}  // namespace

int CopyFrameRange(const std::string& source, const std::string& destination, int64_t first,
                   int64_t last) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, Chunk& buffer) {
                     if (sf_seek(in.sf(), first, SEEK_SET) < 0) return kKernelDone;
                     const int64_t count = last - first + 1;
                     return count > 0 ? Copy(in, out, buffer, count) : kKernelDone;
                   });
}

int DeleteFrameRange(const std::string& source, const std::string& destination, int64_t first,
                     int64_t last) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, Chunk& buffer) {
                     int r = Copy(in, out, buffer, std::max<int64_t>(first, 0));
                     if (r != kKernelDone) return r;
                     if (sf_seek(in.sf(), last + 1, SEEK_SET) < 0) return kKernelDone;
                     return Copy(in, out, buffer, kToEnd);
                   });
}

int PasteFrames(const std::string& source, const std::string& destination,
                const std::string& clipboard, int64_t position) {
  return RunKernel(
      source, destination, [&](SoundFile& in, SoundFile& out, Chunk& buffer) {
        SoundFile clip;
        // A clip of another channel count would overrun the chunk buffer and
        // scramble the channels; the editor refuses such a paste beforehand.
        if (!clip.OpenRead(clipboard) || clip.channels() != in.channels()) {
          return kKernelClipboardError;
        }
        int r = Copy(in, out, buffer, std::max<int64_t>(position, 0));
        if (r != kKernelDone) return r;
        // Brings the clip's samples to the destination's scale when their
        // formats differ (e.g. a 24-bit clip into a 16-bit song).
        const double factor = out.scale() / clip.scale();
        const int channels = in.channels();
        if ((clip.info().format & SF_FORMAT_SUBMASK) == (out.info().format & SF_FORMAT_SUBMASK)) {
          r = Move(clip, out, buffer, kToEnd, kKernelClipboardError);
        } else {
          r = Pump(
              clip, out, buffer, kToEnd,
              [factor, channels](double* s, sf_count_t n) {
                const int64_t samples = static_cast<int64_t>(n) * channels;
                for (int64_t i = 0; i < samples; ++i) s[i] *= factor;
              },
              kKernelClipboardError);
        }
        if (r != kKernelDone) return r;
        return Copy(in, out, buffer, kToEnd);
      });
}

int InsertSilence(const std::string& source, const std::string& destination, int64_t position,
                  int64_t count) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, Chunk& buffer) {
                     int r = Copy(in, out, buffer, std::max<int64_t>(position, 0));
                     if (r != kKernelDone) return r;
                     double* silence = buffer.doubles();
                     std::fill(silence, silence + kKernelChunkFrames * in.channels(), 0.0);
                     for (int64_t left = count; left > 0;) {
                       sf_count_t n = std::min(left, kKernelChunkFrames);
                       if (sf_writef_double(out.sf(), silence, n) != n) {
                         return kKernelWriteError;
                       }
                       left -= n;
                     }
                     return Copy(in, out, buffer, kToEnd);
                   });
}

int ChangeGain(const std::string& source, const std::string& destination, double gain,
               int64_t first, int64_t last) {
  // A NaN or infinite gain would make NaN samples (0 x inf); such a request
  // means silence or the loudest possible.
  gain = std::isnan(gain) ? 0.0 : std::clamp(gain, -1e9, 1e9);
  return ScaleRange(source, destination, first, last,
                    [gain](int64_t, int) { return [gain] { return gain; }; });
}

int FadeIn(const std::string& source, const std::string& destination, int64_t first,
           int64_t last) {
  return FadeKernel(source, destination, first, last, true);
}

int FadeOut(const std::string& source, const std::string& destination, int64_t first,
            int64_t last) {
  return FadeKernel(source, destination, first, last, false);
}

}  // namespace qv3
