#include "engine/frame_range_kernels.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace qv3 {
namespace {

namespace fs = std::filesystem;

// Samples as left-justified 32-bit integers (libsndfile's int interface), so
// the test reads and writes through a path independent of the kernels' doubles.
using Frames = std::vector<int32_t>;

struct Format {
  const char* name;
  int format;
  int bits;           // significant bits of an integer format, 0 for float
  bool linear = true;  // one step of `bits` everywhere (not u-law / a-law)
};
void PrintTo(const Format& f, std::ostream* os) { *os << f.name; }

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qv3_kernels_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static void WriteInts(const std::string& path, int format, int channels, const Frames& data) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_count_t frames = static_cast<sf_count_t>(data.size() / channels);
    ASSERT_EQ(sf_writef_int(f, data.data(), frames), frames);
    ASSERT_EQ(sf_close(f), 0);
  }

  static Frames ReadInts(const std::string& path, SF_INFO* info_out = nullptr) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(f, nullptr) << path;
    if (!f) return {};
    Frames data(static_cast<size_t>(info.frames) * info.channels);
    EXPECT_EQ(sf_readf_int(f, data.data(), info.frames), info.frames);
    sf_close(f);
    if (info_out) *info_out = info;
    return data;
  }

  static void WriteFloats(const std::string& path, int channels, const std::vector<float>& data) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_count_t frames = static_cast<sf_count_t>(data.size() / channels);
    ASSERT_EQ(sf_writef_float(f, data.data(), frames), frames);
    ASSERT_EQ(sf_close(f), 0);
  }

  static std::vector<float> ReadFloats(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(f, nullptr);
    if (!f) return {};
    std::vector<float> data(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_float(f, data.data(), info.frames);
    sf_close(f);
    return data;
  }

  // Random full-range samples of the format, with both extremes included.
  static Frames RandomInts(size_t samples, int bits, unsigned seed) {
    std::mt19937 rng(seed);
    const int64_t lo = -(int64_t{1} << (bits - 1)), hi = (int64_t{1} << (bits - 1)) - 1;
    std::uniform_int_distribution<int64_t> dist(lo, hi);
    Frames out(samples);
    for (size_t i = 0; i < samples; ++i) {
      int64_t v = i == 0 ? hi : i == 1 ? lo : dist(rng);
      out[i] = static_cast<int32_t>(v * (int64_t{1} << (32 - bits)));
    }
    return out;
  }

  fs::path dir_;
};

Frames Slice(const Frames& f, int ch, int64_t from, int64_t to) {  // frames [from, to)
  return Frames(f.begin() + from * ch, f.begin() + to * ch);
}
Frames Concat(std::initializer_list<Frames> parts) {
  Frames out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// --- Bit-exact round trips of the untouched audio, per file format ---------

class KernelFormatTest : public KernelTest, public ::testing::WithParamInterface<Format> {};

TEST_P(KernelFormatTest, CopyDeletePasteInsertKeepEverySampleExact) {
  const Format fmt = GetParam();
  const int ch = 2;
  const int64_t n = 25003;  // spans three chunks with a ragged end
  WriteInts(Path("src"), fmt.format, ch, RandomInts(n * ch, fmt.bits, 1));
  WriteInts(Path("clip"), fmt.format, ch, RandomInts(12000 * ch, fmt.bits, 2));
  // What the files hold (companded formats quantise what was written).
  const Frames src = ReadInts(Path("src"));
  const Frames clip = ReadInts(Path("clip"));

  ASSERT_EQ(CopyFrameRange(Path("src"), Path("copy"), 9999, 20001), kKernelDone);
  SF_INFO info{};
  EXPECT_EQ(ReadInts(Path("copy"), &info), Slice(src, ch, 9999, 20002));
  EXPECT_EQ(info.format, fmt.format);
  EXPECT_EQ(info.channels, ch);

  ASSERT_EQ(DeleteFrameRange(Path("src"), Path("del"), 100, 15000), kKernelDone);
  EXPECT_EQ(ReadInts(Path("del")), Concat({Slice(src, ch, 0, 100), Slice(src, ch, 15001, n)}));

  ASSERT_EQ(PasteFrames(Path("src"), Path("paste"), Path("clip"), 10001), kKernelDone);
  EXPECT_EQ(ReadInts(Path("paste")),
            Concat({Slice(src, ch, 0, 10001), clip, Slice(src, ch, 10001, n)}));

  ASSERT_EQ(InsertSilence(Path("src"), Path("sil"), 3, 20000), kKernelDone);
  const Frames sil = ReadInts(Path("sil"));
  ASSERT_EQ(sil.size(), src.size() + 20000 * ch);
  EXPECT_EQ(Slice(sil, ch, 0, 3), Slice(src, ch, 0, 3));
  EXPECT_EQ(Slice(sil, ch, 20003, n + 20000), Slice(src, ch, 3, n));
  // a-law has no zero code: its silence is the smallest step.
  const int32_t quiet = fmt.linear ? 0 : 8 << 16;
  for (int64_t i = 3 * ch; i < 20003 * ch; ++i) ASSERT_LE(std::abs(sil[i]), quiet) << i;
}

// Scaled companded samples are requantised by the codec: linear formats only.
class KernelScaleTest : public KernelFormatTest {};

TEST_P(KernelScaleTest, GainAndFadesScaleOnlyTheRange) {
  const Format fmt = GetParam();
  const int ch = 2;
  const int64_t n = 22000, first = 5000, last = 17000;
  const Frames src = RandomInts(n * ch, fmt.bits, 3);
  WriteInts(Path("src"), fmt.format, ch, src);
  const double lsb = std::ldexp(1.0, 32 - fmt.bits);  // one step of the format, in int32 units

  auto check = [&](const std::string& out, auto gain_of_sample) {
    Frames got = ReadInts(Path(out));
    ASSERT_EQ(got.size(), src.size());
    for (int64_t i = 0; i < n * ch; ++i) {
      const int64_t frame = i / ch;
      if (frame < first || frame > last) {
        ASSERT_EQ(got[i], src[i]) << out << " sample " << i;
      } else {
        const double want = src[i] * gain_of_sample(i - first * ch);
        ASSERT_NEAR(got[i], want, lsb) << out << " sample " << i;
      }
    }
  };

  ASSERT_EQ(ChangeGain(Path("src"), Path("half"), 0.5, first, last), kKernelDone);
  check("half", [](int64_t) { return 0.5; });
  ASSERT_EQ(ChangeGain(Path("src"), Path("zero"), 0.0, first, last), kKernelDone);
  check("zero", [](int64_t) { return 0.0; });

  const double step = 1.0 / (last - first + 1) / ch;
  ASSERT_EQ(FadeIn(Path("src"), Path("in"), first, last), kKernelDone);
  check("in", [&](int64_t k) { return std::min(1.0, k * step); });
  ASSERT_EQ(FadeOut(Path("src"), Path("out"), first, last), kKernelDone);
  check("out", [&](int64_t k) { return std::max(0.0, 1.0 - k * step); });
}

const Format kLinearFormats[] = {
    {"wav8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8},
    {"wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16},
    {"wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24},
    {"wav32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 32},
    {"flac16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16},
    {"flac24", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 24},
    {"aiff16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16},
    {"aiff8", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 8},
    {"caf24", SF_FORMAT_CAF | SF_FORMAT_PCM_24, 24},
    {"w64_16", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 16},
    {"rf64_24", SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 24},
};
const Format kCompandedFormats[] = {
    {"ulaw", SF_FORMAT_WAV | SF_FORMAT_ULAW, 16, false},
    {"alaw", SF_FORMAT_WAV | SF_FORMAT_ALAW, 16, false},
};
auto FormatName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Linear, KernelFormatTest, ::testing::ValuesIn(kLinearFormats),
                         FormatName);
INSTANTIATE_TEST_SUITE_P(Companded, KernelFormatTest, ::testing::ValuesIn(kCompandedFormats),
                         FormatName);
INSTANTIATE_TEST_SUITE_P(Linear, KernelScaleTest, ::testing::ValuesIn(kLinearFormats),
                         FormatName);

TEST_F(KernelTest, FloatWavIsExactAndKeepsValuesAboveFullScale) {
  std::vector<float> src(2 * 15000);
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> dist(-1.5f, 1.5f);
  for (auto& v : src) v = dist(rng);
  WriteFloats(Path("src.wav"), 2, src);
  ASSERT_EQ(DeleteFrameRange(Path("src.wav"), Path("del.wav"), 10, 10009), kKernelDone);
  std::vector<float> want(src.begin(), src.begin() + 20);
  want.insert(want.end(), src.begin() + 20020, src.end());
  std::vector<float> got = ReadFloats(Path("del.wav"));
  ASSERT_EQ(got.size(), want.size());
  EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(float)), 0);
}

// --- Ramps -----------------------------------------------------------------

TEST_F(KernelTest, FadesOverFourMonoFramesUseQuarterSteps) {
  WriteFloats(Path("ones.wav"), 1, std::vector<float>(6, 1.0f));
  ASSERT_EQ(FadeIn(Path("ones.wav"), Path("in.wav"), 1, 4), kKernelDone);
  EXPECT_EQ(ReadFloats(Path("in.wav")), (std::vector<float>{1, 0, 0.25f, 0.5f, 0.75f, 1}));
  ASSERT_EQ(FadeOut(Path("ones.wav"), Path("out.wav"), 1, 4), kKernelDone);
  EXPECT_EQ(ReadFloats(Path("out.wav")), (std::vector<float>{1, 1, 0.75f, 0.5f, 0.25f, 1}));
}

TEST_F(KernelTest, StereoRampAdvancesPerSampleAndCarriesAcrossChunks) {
  WriteFloats(Path("ones.wav"), 2, std::vector<float>(2 * 2, 1.0f));
  ASSERT_EQ(FadeIn(Path("ones.wav"), Path("in.wav"), 0, 1), kKernelDone);
  EXPECT_EQ(ReadFloats(Path("in.wav")), (std::vector<float>{0, 0.25f, 0.5f, 0.75f}));

  // A ramp longer than one chunk has no jump at the chunk boundary.
  const int64_t n = 3 * kKernelChunkFrames;
  WriteFloats(Path("long.wav"), 2, std::vector<float>(2 * n, 1.0f));
  ASSERT_EQ(FadeOut(Path("long.wav"), Path("fo.wav"), 0, n - 1), kKernelDone);
  std::vector<float> got = ReadFloats(Path("fo.wav"));
  const double step = 1.0 / n / 2;
  for (int64_t i = 0; i < 2 * n; ++i) ASSERT_NEAR(got[i], 1.0 - i * step, 1e-6) << i;
}

TEST_F(KernelTest, GainAboveOneClipsInsteadOfWrapping) {
  WriteInts(Path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1,
            {20000 << 16, -20000 * 65536, 100 << 16});
  ASSERT_EQ(ChangeGain(Path("s.wav"), Path("g.wav"), 2.0, 0, 2), kKernelDone);
  EXPECT_EQ(ReadInts(Path("g.wav")), (Frames{32767 << 16, -32768 * 65536, 200 << 16}));
}

TEST_F(KernelTest, ScaledSamplesRoundToNearestAtTheFileResolution) {
  // Ties go to even; nothing drifts downward.
  WriteInts(Path("s16.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1,
            {3 << 16, -3 * 65536, 5 << 16, 101 << 16, -101 * 65536});
  ASSERT_EQ(ChangeGain(Path("s16.wav"), Path("g16.wav"), 0.5, 0, 4), kKernelDone);
  EXPECT_EQ(ReadInts(Path("g16.wav")),
            (Frames{2 << 16, -2 * 65536, 2 << 16, 50 << 16, -50 * 65536}));
  WriteInts(Path("s24.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, {1001 << 8, -8388608 * 256});
  ASSERT_EQ(ChangeGain(Path("s24.wav"), Path("g24.wav"), 0.25, 0, 1), kKernelDone);
  EXPECT_EQ(ReadInts(Path("g24.wav")), (Frames{250 << 8, -2097152 * 256}));
  WriteInts(Path("s8.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, {127 << 24, -128 * (1 << 24)});
  ASSERT_EQ(ChangeGain(Path("s8.wav"), Path("g8.wav"), 1.5, 0, 1), kKernelDone);
  EXPECT_EQ(ReadInts(Path("g8.wav")), (Frames{127 << 24, -128 * (1 << 24)}));
}

TEST_F(KernelTest, NonFiniteGainGivesSilenceOrFullScale) {
  WriteInts(Path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, {0, 5 << 16, -5 * 65536});
  ASSERT_EQ(ChangeGain(Path("s.wav"), Path("n.wav"), std::nan(""), 0, 2), kKernelDone);
  EXPECT_EQ(ReadInts(Path("n.wav")), (Frames{0, 0, 0}));
  ASSERT_EQ(ChangeGain(Path("s.wav"), Path("i.wav"), HUGE_VAL, 0, 2), kKernelDone);
  EXPECT_EQ(ReadInts(Path("i.wav")), (Frames{0, 32767 << 16, -32768 * 65536}));
}

// --- Edge cases of ranges and positions -----------------------------------

TEST_F(KernelTest, RangeEdges) {
  const int fmt = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  const Frames src = RandomInts(2 * 50, 16, 5);
  const Frames clip = RandomInts(2 * 7, 16, 6);
  WriteInts(Path("s.wav"), fmt, 2, src);
  WriteInts(Path("c.wav"), fmt, 2, clip);

  ASSERT_EQ(CopyFrameRange(Path("s.wav"), Path("a.wav"), 0, 0), kKernelDone);
  EXPECT_EQ(ReadInts(Path("a.wav")), Slice(src, 2, 0, 1));
  ASSERT_EQ(DeleteFrameRange(Path("s.wav"), Path("b.wav"), 0, 0), kKernelDone);
  EXPECT_EQ(ReadInts(Path("b.wav")), Slice(src, 2, 1, 50));

  SF_INFO info{};
  ASSERT_EQ(DeleteFrameRange(Path("s.wav"), Path("e.wav"), 0, 49), kKernelDone);
  EXPECT_TRUE(ReadInts(Path("e.wav"), &info).empty());
  EXPECT_EQ(info.format, fmt);
  EXPECT_EQ(info.frames, 0);

  ASSERT_EQ(PasteFrames(Path("s.wav"), Path("p0.wav"), Path("c.wav"), 0), kKernelDone);
  EXPECT_EQ(ReadInts(Path("p0.wav")), Concat({clip, src}));
  ASSERT_EQ(PasteFrames(Path("s.wav"), Path("pe.wav"), Path("c.wav"), 50), kKernelDone);
  EXPECT_EQ(ReadInts(Path("pe.wav")), Concat({src, clip}));

  ASSERT_EQ(InsertSilence(Path("s.wav"), Path("i0.wav"), 20, 0), kKernelDone);
  EXPECT_EQ(ReadInts(Path("i0.wav")), src);

  // Past the end: the phase ends early without error.
  ASSERT_EQ(CopyFrameRange(Path("s.wav"), Path("t.wav"), 45, 1000), kKernelDone);
  EXPECT_EQ(ReadInts(Path("t.wav")), Slice(src, 2, 45, 50));
  ASSERT_EQ(CopyFrameRange(Path("s.wav"), Path("u.wav"), 500, 600), kKernelDone);
  EXPECT_TRUE(ReadInts(Path("u.wav")).empty());
  ASSERT_EQ(DeleteFrameRange(Path("s.wav"), Path("v.wav"), 40, 900), kKernelDone);
  EXPECT_EQ(ReadInts(Path("v.wav")), Slice(src, 2, 0, 40));
  ASSERT_EQ(ChangeGain(Path("s.wav"), Path("w.wav"), 0.0, 48, 900), kKernelDone);
  EXPECT_EQ(ReadInts(Path("w.wav")), Concat({Slice(src, 2, 0, 48), Frames(4, 0)}));
}

TEST_F(KernelTest, MillionSilentFramesArriveWhole) {
  WriteInts(Path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, {1 << 16, 2 << 16});
  ASSERT_EQ(InsertSilence(Path("s.wav"), Path("i.wav"), 1, 1000000), kKernelDone);
  Frames got = ReadInts(Path("i.wav"));
  ASSERT_EQ(got.size(), 1000002u);
  EXPECT_EQ(got.front(), 1 << 16);
  EXPECT_EQ(got.back(), 2 << 16);
  EXPECT_EQ(std::count(got.begin(), got.end(), 0), 1000000);
}

TEST_F(KernelTest, PasteOfAnotherDepthIsRescaled) {
  WriteInts(Path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, {1000 << 16});
  WriteInts(Path("c.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, {(-4096 * 256) * 256});
  ASSERT_EQ(PasteFrames(Path("s.wav"), Path("p.wav"), Path("c.wav"), 1), kKernelDone);
  EXPECT_EQ(ReadInts(Path("p.wav")), (Frames{1000 << 16, -4096 * 65536}));
}

// --- Failures ---------------------------------------------------------------

TEST_F(KernelTest, OpenFailuresGiveTheirResults) {
  WriteInts(Path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, RandomInts(200, 16, 7));
  WriteInts(Path("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, RandomInts(50, 16, 8));
  std::ofstream(Path("notes.txt")) << "these are not the frames you are looking for\n";

  EXPECT_EQ(CopyFrameRange(Path("missing.wav"), Path("d.wav"), 0, 1), kKernelSourceError);
  EXPECT_EQ(CopyFrameRange(Path("notes.txt"), Path("d.wav"), 0, 1), kKernelSourceError);
  EXPECT_EQ(FadeIn(dir_.string(), Path("d.wav"), 0, 1), kKernelSourceError);
  EXPECT_EQ(CopyFrameRange(Path("s.wav"), Path("no/such/folder/d.wav"), 0, 1),
            kKernelDestinationError);
  EXPECT_EQ(PasteFrames(Path("s.wav"), Path("d.wav"), Path("gone.wav"), 0), kKernelClipboardError);
  EXPECT_EQ(PasteFrames(Path("s.wav"), Path("d.wav"), Path("notes.txt"), 0),
            kKernelClipboardError);
  EXPECT_EQ(PasteFrames(Path("s.wav"), Path("d.wav"), Path("mono.wav"), 0), kKernelClipboardError);
}

TEST_F(KernelTest, DestinationThatIsTheSourceIsRefusedAndLeftIntact) {
  const Frames src = RandomInts(2 * 100, 16, 9);
  WriteInts(Path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, src);
  EXPECT_EQ(ChangeGain(Path("s.wav"), Path("s.wav"), 0.5, 0, 99), kKernelDestinationError);
  fs::create_symlink(Path("s.wav"), Path("link.wav"));
  EXPECT_EQ(CopyFrameRange(Path("s.wav"), Path("link.wav"), 0, 99), kKernelDestinationError);
  EXPECT_EQ(ReadInts(Path("s.wav")), src);
}

TEST_F(KernelTest, ReadErrorPartWayIsNotReportedAsDone) {
  const int fmt = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  WriteInts(Path("s.flac"), fmt, 2, RandomInts(2 * 60000, 16, 13));
  {
    std::fstream f(Path("s.flac"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(fs::file_size(Path("s.flac")) / 2));
    f << std::string(20000, '\x55');
  }
  EXPECT_EQ(CopyFrameRange(Path("s.flac"), Path("d.flac"), 0, 59999), kKernelSourceError);
  WriteInts(Path("ok.flac"), fmt, 2, RandomInts(2 * 10, 16, 14));
  EXPECT_EQ(PasteFrames(Path("ok.flac"), Path("d.flac"), Path("s.flac"), 0), kKernelClipboardError);

  // A WAV file cut short is not an error: the copy ends where the data ends.
  WriteInts(Path("t.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, RandomInts(2 * 1000, 16, 15));
  fs::resize_file(Path("t.wav"), 44 + 400 * 4);
  EXPECT_EQ(CopyFrameRange(Path("t.wav"), Path("d.wav"), 0, 999), kKernelDone);
  EXPECT_EQ(ReadInts(Path("d.wav")).size(), 800u);
}

// Runs `kernel` in a child whose files may not grow past `limit` bytes (the
// stand-in for a full disk) and returns its result.
template <typename Kernel>
int ResultUnderFileSizeLimit(rlim_t limit, Kernel kernel) {
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    _exit(kernel());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(KernelTest, FullDiskInEveryPhaseGivesWriteError) {
  const int fmt = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  WriteInts(Path("big.wav"), fmt, 2, RandomInts(2 * 50000, 16, 10));   // 200 kB
  WriteInts(Path("small.wav"), fmt, 2, RandomInts(2 * 1000, 16, 11));  // 4 kB
  const std::string big = Path("big.wav"), small = Path("small.wav"), d = Path("d.wav");
  const rlim_t limit = 60000;
  // Limit reached while copying the source.
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return CopyFrameRange(big, d, 0, 49999); }),
            kKernelWriteError);
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return DeleteFrameRange(big, d, 40000, 40010); }),
            kKernelWriteError);
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return ChangeGain(big, d, 0.5, 0, 49999); }),
            kKernelWriteError);
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return FadeOut(big, d, 1000, 49999); }),
            kKernelWriteError);
  // Limit reached in the tail after an edited range.
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return FadeIn(big, d, 0, 10); }),
            kKernelWriteError);
  // Limit reached while writing silence, and while writing the clipboard.
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return InsertSilence(small, d, 500, 100000); }),
            kKernelWriteError);
  EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return PasteFrames(small, d, big, 500); }),
            kKernelWriteError);
  // Control: the same work fits when the limit is generous.
  EXPECT_EQ(ResultUnderFileSizeLimit(1 << 24, [&] { return PasteFrames(small, d, big, 500); }),
            kKernelDone);
}

TEST_F(KernelTest, FullDiskWhileFinishingAFlacFileGivesWriteError) {
  // FLAC buffers its last block until the file is closed, so the failing write
  // happens inside the close.
  const int fmt = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  WriteInts(Path("s.flac"), fmt, 2, RandomInts(2 * 30000, 16, 12));
  const std::string s = Path("s.flac"), d = Path("d.flac");
  ASSERT_EQ(CopyFrameRange(s, d, 0, 29999), kKernelDone);
  const rlim_t size = static_cast<rlim_t>(fs::file_size(d));
  // Just below the full size only the final flush fails; lower limits fail
  // in the middle of the stream.
  for (rlim_t limit : {size - 10, size / 2, rlim_t{2000}}) {
    EXPECT_EQ(ResultUnderFileSizeLimit(limit, [&] { return CopyFrameRange(s, d, 0, 29999); }),
              kKernelWriteError)
        << limit;
  }
}

}  // namespace
}  // namespace qv3
