#include "engine/frame_range_kernels.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace qv3 {
namespace {

// libsndfile reports a failed write inside sf_close (header update, the last
// FLAC block) only to its own log, and sf_close returns just close(2)'s result.
// The files are therefore opened on our own descriptors through the virtual
// I/O interface, whose callbacks remember any read or write error.
struct FdIo {
  int fd = -1;
  bool failed = false;
};

sf_count_t VioLength(void* user) {
  struct stat st;
  if (fstat(static_cast<FdIo*>(user)->fd, &st) != 0) return -1;
  return st.st_size;
}

sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
  return lseek(static_cast<FdIo*>(user)->fd, offset, whence);
}

sf_count_t VioTell(void* user) { return lseek(static_cast<FdIo*>(user)->fd, 0, SEEK_CUR); }

sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
  auto* io = static_cast<FdIo*>(user);
  char* p = static_cast<char*>(ptr);
  sf_count_t done = 0;
  while (done < count) {
    ssize_t n = read(io->fd, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      io->failed = true;
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

sf_count_t VioWrite(const void* ptr, sf_count_t count, void* user) {
  auto* io = static_cast<FdIo*>(user);
  const char* p = static_cast<const char*>(ptr);
  sf_count_t done = 0;
  while (done < count) {
    ssize_t n = write(io->fd, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      io->failed = true;
      break;
    }
    done += n;
  }
  return done;
}

SF_VIRTUAL_IO g_fd_io = {VioLength, VioSeek, VioRead, VioWrite, VioTell};

// Formats whose samples are integers: read and written without normalisation,
// libsndfile's normalised doubles do not round-trip them (16-bit 32767 would
// come back as 32766).
bool IsIntegerCoded(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
      return true;
    default:
      return false;
  }
}

// The value of full scale in the doubles a file delivers: 1.0 when normalised,
// else the integer range of its samples.
double SampleScale(int format) {
  if (!IsIntegerCoded(format)) return 1.0;
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 128.0;
    case SF_FORMAT_PCM_24:
      return 8388608.0;
    case SF_FORMAT_PCM_32:
      return 2147483648.0;
    default:
      return 32768.0;  // 16-bit, u-law and a-law decode to 16-bit values
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
    io_.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (io_.fd < 0) return false;
    info_ = SF_INFO{};
    sf_ = sf_open_virtual(&g_fd_io, SFM_READ, &info_, &io_);
    if (!sf_ || info_.channels <= 0) return false;
    Configure();
    return true;
  }

  bool Create(const std::string& path, const SF_INFO& like) {
    io_.fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (io_.fd < 0) return false;
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
    if (io_.failed) ok = false;
    if (io_.fd >= 0) {
      if (close(io_.fd) != 0) ok = false;
      io_.fd = -1;
    }
    return ok;
  }

  // True when the last short read was caused by an error, not the end.
  bool ReadFailed() const { return io_.failed || (sf_ && sf_error(sf_) != SF_ERR_NO_ERROR); }

  bool SameFileAs(const std::string& path) const {
    struct stat mine, other;
    if (fstat(io_.fd, &mine) != 0 || stat(path.c_str(), &other) != 0) return false;
    return mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
  }

  SNDFILE* sf() const { return sf_; }
  const SF_INFO& info() const { return info_; }
  int channels() const { return info_.channels; }
  double scale() const { return SampleScale(info_.format); }

 private:
  void Configure() {
    if (IsIntegerCoded(info_.format)) sf_command(sf_, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
  }

  FdIo io_;
  SNDFILE* sf_ = nullptr;
  SF_INFO info_{};
};

constexpr int64_t kToEnd = -1;

// Streams up to `frames` frames (kToEnd: until the source ends) from `in` to
// `out`, passing each chunk through shape(samples, frames). A read of 0
// frames ends the phase early.
template <typename Shape>
int Pump(SoundFile& in, SoundFile& out, std::vector<double>& buffer, int64_t frames,
         Shape&& shape, int read_error) {
  while (frames == kToEnd || frames > 0) {
    sf_count_t want = frames == kToEnd ? kKernelChunkFrames : std::min(frames, kKernelChunkFrames);
    sf_count_t got = sf_readf_double(in.sf(), buffer.data(), want);
    if (got < want && in.ReadFailed()) return read_error;
    if (got <= 0) break;
    shape(buffer.data(), got);
    if (sf_writef_double(out.sf(), buffer.data(), got) != got) return kKernelWriteError;
    if (frames != kToEnd) frames -= got;
  }
  return kKernelDone;
}

int Copy(SoundFile& in, SoundFile& out, std::vector<double>& buffer, int64_t frames) {
  return Pump(in, out, buffer, frames, [](double*, sf_count_t) {}, kKernelSourceError);
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
  std::vector<double> buffer(static_cast<size_t>(kKernelChunkFrames) * in.channels());
  int result = phases(in, out, buffer);
  bool closed = out.Close();
  if (result == kKernelDone && !closed) result = kKernelWriteError;
  return result;
}

// Per-sample linear ramp over `frames` frames; the gain carries across chunks.
class Ramp {
 public:
  Ramp(double start, double step) : gain_(start), step_(step) {}
  void operator()(double* samples, sf_count_t frames, int channels) {
    const int64_t n = static_cast<int64_t>(frames) * channels;
    for (int64_t i = 0; i < n; ++i) {
      samples[i] *= gain_;
      gain_ = std::clamp(gain_ + step_, 0.0, 1.0);
    }
  }

 private:
  double gain_;
  double step_;
};

int FadeKernel(const std::string& source, const std::string& destination, int64_t first,
               int64_t last, bool fade_in) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, std::vector<double>& buffer) {
                     int r = Copy(in, out, buffer, std::max<int64_t>(first, 0));
                     if (r != kKernelDone) return r;
                     const int64_t count = last - first + 1;
                     if (count > 0) {
                       const double step = 1.0 / static_cast<double>(count) / in.channels();
                       Ramp ramp(fade_in ? 0.0 : 1.0, fade_in ? step : -step);
                       const int channels = in.channels();
                       r = Pump(in, out, buffer, count,
                                [&](double* s, sf_count_t n) { ramp(s, n, channels); },
                                kKernelSourceError);
                       if (r != kKernelDone) return r;
                     }
                     return Copy(in, out, buffer, kToEnd);
                   });
}

}  // namespace

int CopyFrameRange(const std::string& source, const std::string& destination, int64_t first,
                   int64_t last) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, std::vector<double>& buffer) {
                     if (sf_seek(in.sf(), first, SEEK_SET) < 0) return kKernelDone;
                     const int64_t count = last - first + 1;
                     return count > 0 ? Copy(in, out, buffer, count) : kKernelDone;
                   });
}

int DeleteFrameRange(const std::string& source, const std::string& destination, int64_t first,
                     int64_t last) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, std::vector<double>& buffer) {
                     int r = Copy(in, out, buffer, std::max<int64_t>(first, 0));
                     if (r != kKernelDone) return r;
                     if (sf_seek(in.sf(), last + 1, SEEK_SET) < 0) return kKernelDone;
                     return Copy(in, out, buffer, kToEnd);
                   });
}

int PasteFrames(const std::string& source, const std::string& destination,
                const std::string& clipboard, int64_t position) {
  return RunKernel(
      source, destination, [&](SoundFile& in, SoundFile& out, std::vector<double>& buffer) {
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
        r = Pump(
            clip, out, buffer, kToEnd,
            [factor, channels](double* s, sf_count_t n) {
              if (factor == 1.0) return;
              const int64_t samples = static_cast<int64_t>(n) * channels;
              for (int64_t i = 0; i < samples; ++i) s[i] *= factor;
            },
            kKernelClipboardError);
        if (r != kKernelDone) return r;
        return Copy(in, out, buffer, kToEnd);
      });
}

int InsertSilence(const std::string& source, const std::string& destination, int64_t position,
                  int64_t count) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, std::vector<double>& buffer) {
                     int r = Copy(in, out, buffer, std::max<int64_t>(position, 0));
                     if (r != kKernelDone) return r;
                     std::fill(buffer.begin(), buffer.end(), 0.0);
                     for (int64_t left = count; left > 0;) {
                       sf_count_t n = std::min(left, kKernelChunkFrames);
                       if (sf_writef_double(out.sf(), buffer.data(), n) != n) {
                         return kKernelWriteError;
                       }
                       left -= n;
                     }
                     return Copy(in, out, buffer, kToEnd);
                   });
}

int ChangeGain(const std::string& source, const std::string& destination, double gain,
               int64_t first, int64_t last) {
  return RunKernel(source, destination,
                   [&](SoundFile& in, SoundFile& out, std::vector<double>& buffer) {
                     int r = Copy(in, out, buffer, std::max<int64_t>(first, 0));
                     if (r != kKernelDone) return r;
                     const int64_t count = last - first + 1;
                     if (count > 0) {
                       const int channels = in.channels();
                       r = Pump(
                           in, out, buffer, count,
                           [&](double* s, sf_count_t n) {
                             const int64_t samples = static_cast<int64_t>(n) * channels;
                             for (int64_t i = 0; i < samples; ++i) s[i] *= gain;
                           },
                           kKernelSourceError);
                       if (r != kKernelDone) return r;
                     }
                     return Copy(in, out, buffer, kToEnd);
                   });
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
