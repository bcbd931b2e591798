// Runs the built qv3-aacenc on generated WAV streams fed through a pipe, as
// export does, and judges the result with ffprobe.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The program under test: from QV3_BIN_DIR when the test runner sets it,
// else the path the build recorded.
std::string Bin() {
  const char* dir = std::getenv("QV3_BIN_DIR");
  if (dir != nullptr && *dir != '\0') return std::string(dir) + "/qv3-aacenc";
  return QV3_AACENC_PATH;
}

std::string TempDir() {
  auto dir = std::filesystem::temp_directory_path() / ("qv3_aacenc_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir.string();
}

struct TempFolderCleaner {
  ~TempFolderCleaner() {
    std::error_code ignored;
    std::filesystem::remove_all(
        std::filesystem::temp_directory_path() / ("qv3_aacenc_test_" + std::to_string(::getpid())), ignored);
  }
} temp_folder_cleaner;

void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Seconds of a music-like stereo signal (a few harmonic voices over soft
// noise), as 16-bit PCM or 32-bit float, with the length fields either true
// or written as unknown.
std::string MusicWav(double seconds, int rate, int channels, bool as_float, uint32_t unknown_length = 1) {
  const int frames = static_cast<int>(seconds * rate);
  const int bytes = as_float ? 4 : 2;
  std::string data;
  data.reserve(static_cast<size_t>(frames) * channels * bytes);
  uint32_t noise = 12345;
  double low = 0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    for (int c = 0; c < channels; ++c) {
      double v = 0;
      for (int h = 1; h <= 8; ++h) {
        v += 0.08 / h * std::sin(2 * M_PI * (220.0 + 110 * c) * h * t);
        v += 0.05 / h * std::sin(2 * M_PI * 329.6 * h * t + c);
      }
      noise = noise * 1664525u + 1013904223u;
      double white = (static_cast<int32_t>(noise) / 2147483648.0);
      low = 0.97 * low + 0.03 * white;
      v += 0.25 * low + 0.05 * white;
      if (as_float) {
        float f = static_cast<float>(v);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutLe(data, bits, 4);
      } else {
        PutLe(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))), 2);
      }
    }
  }
  std::string wav = "RIFF";
  PutLe(wav, unknown_length == 1 ? 36 + static_cast<uint32_t>(data.size()) : unknown_length, 4);
  wav += "WAVEfmt ";
  PutLe(wav, 16, 4);
  PutLe(wav, as_float ? 3 : 1, 2);
  PutLe(wav, channels, 2);
  PutLe(wav, rate, 4);
  PutLe(wav, rate * channels * bytes, 4);
  PutLe(wav, channels * bytes, 2);
  PutLe(wav, bytes * 8, 2);
  wav += "data";
  PutLe(wav, unknown_length == 1 ? static_cast<uint32_t>(data.size()) : unknown_length, 4);
  return wav + data;
}

// Runs the encoder with `args`, writing `input` to its standard input.
// Returns the exit status; the first line of its error output goes to *message.
int RunEncoder(const std::string& args, const std::string& input, std::string* message = nullptr) {
  const std::string err_path = TempDir() + "/stderr.txt";
  const std::string out_path = TempDir() + "/stdout.txt";
  const std::string command = "'" + Bin() + "' " + args + " >'" + out_path + "' 2>'" + err_path + "'";
  std::signal(SIGPIPE, SIG_IGN);  // the encoder may stop reading early on bad input
  std::FILE* pipe = ::popen(command.c_str(), "w");
  if (pipe == nullptr) return -1;
  std::fwrite(input.data(), 1, input.size(), pipe);
  int status = ::pclose(pipe);
  if (message != nullptr) {
    message->clear();
    if (std::FILE* f = std::fopen(err_path.c_str(), "r")) {
      char line[1024];
      if (std::fgets(line, sizeof line, f)) *message = line;
      std::fclose(f);
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Probe(const std::string& args) {
  std::string out;
  std::FILE* pipe = ::popen(("ffprobe -v error " + args).c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  ::pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

bool HaveFfprobe() { return std::system("ffprobe -version >/dev/null 2>&1") == 0; }

struct Row {
  const char* options;
  double kbps;
};

// The rows of the export's AAC bit rate table that the tests cover.
constexpr Row kRows[] = {
    {"-q 130 -c 22000 --mpeg-vers 4", 218},
    {"-q 100 -c 16000 --mpeg-vers 4", 129},
    {"-q 70 -c 10000 --mpeg-vers 4", 62},
};

TEST(AacEncProgramTest, RawAdtsRowsGiveTheirBitRate) {
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe missing";
  const double seconds = 6;
  const std::string wav = MusicWav(seconds, 44100, 2, false);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.options);
    const std::string out = TempDir() + "/out.aac";
    std::filesystem::remove(out);
    // Export's command line: the container option is empty here.
    ASSERT_EQ(RunEncoder(std::string(row.options) + "  -o '" + out + "' -", wav), 0);
    EXPECT_EQ(Probe("-show_entries stream=codec_name -of csv=p=0 '" + out + "'"), "aac");
    EXPECT_EQ(Probe("-show_entries format=format_name -of csv=p=0 '" + out + "'"), "aac");
    const double packets =
        std::atof(Probe("-count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" + out + "'").c_str());
    const double duration = packets * 1024 / 44100;
    EXPECT_NEAR(duration, seconds, 0.1);
    const double kbps = std::filesystem::file_size(out) * 8 / duration / 1000;
    std::printf("[ measure  ] %s -> %.1f kbps (ADTS, row %g)\n", row.options, kbps, row.kbps);
    EXPECT_NEAR(kbps, row.kbps, row.kbps * 0.15);
  }
}

TEST(AacEncProgramTest, Mp4FromFloatStreamOfUnknownLength) {
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe missing";
  const double seconds = 3;
  for (uint32_t unknown : {0u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(unknown);
    const std::string wav = MusicWav(seconds, 44100, 2, true, unknown);
    const std::string out = TempDir() + "/out song.m4a";
    std::filesystem::remove(out);
    ASSERT_EQ(RunEncoder("-q 120 -c 20000 --mpeg-vers 4 -w -o '" + out + "' -", wav), 0);
    EXPECT_EQ(Probe("-show_entries stream=codec_name -of csv=p=0 '" + out + "'"), "aac");
    EXPECT_NE(Probe("-show_entries format=format_name -of csv=p=0 '" + out + "'").find("mp4"), std::string::npos);
    const double duration = std::atof(Probe("-show_entries format=duration -of csv=p=0 '" + out + "'").c_str());
    EXPECT_NEAR(duration, seconds, 0.05);
    const double kbps =
        std::atof(Probe("-show_entries stream=bit_rate -of csv=p=0 '" + out + "'").c_str()) / 1000;
    std::printf("[ measure  ] -q 120 -c 20000 -w -> %.1f kbps (M4A, row 194)\n", kbps);
    EXPECT_NEAR(kbps, 194, 194 * 0.15);
  }
}

TEST(AacEncProgramTest, MonoAndUncommonRates) {
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe missing";
  const std::string out = TempDir() + "/mono.mp4";
  ASSERT_EQ(RunEncoder("-q 100 -c 16000 --mpeg-vers 4 -w -o '" + out + "' -", MusicWav(2, 37000, 1, false)), 0);
  EXPECT_EQ(Probe("-show_entries stream=codec_name,channels -of csv=p=0 '" + out + "'"), "aac,1");
  EXPECT_NEAR(std::atof(Probe("-show_entries format=duration -of csv=p=0 '" + out + "'").c_str()), 2.0, 0.05);

  const std::string low = TempDir() + "/low.aac";
  EXPECT_EQ(RunEncoder("-q 130 -c 22000 --mpeg-vers 4 -o '" + low + "' -", MusicWav(1, 8000, 2, false)), 0);
  EXPECT_EQ(Probe("-show_entries stream=sample_rate -of csv=p=0 '" + low + "'"), "8000");
}

// Mean level in dB of the decoded file above `hz` (ffmpeg as the judge).
double LevelAbove(const std::string& path, int hz) {
  const std::string f = std::to_string(hz);
  const std::string command = "ffmpeg -nostdin -i '" + path + "' -af highpass=f=" + f +
                              ":poles=2,highpass=f=" + f + ":poles=2,volumedetect -f null - 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return 0;
  char line[512];
  double level = 0;
  while (std::fgets(line, sizeof line, pipe)) {
    if (const char* at = std::strstr(line, "mean_volume:")) level = std::atof(at + 12);
  }
  ::pclose(pipe);
  return level;
}

TEST(AacEncProgramTest, BandwidthOptionCutsHighFrequencies) {
  if (!HaveFfprobe()) GTEST_SKIP() << "ffmpeg missing";
  const std::string wav = MusicWav(2, 44100, 2, false);
  const std::string narrow = TempDir() + "/narrow.aac";
  const std::string wide = TempDir() + "/wide.aac";
  ASSERT_EQ(RunEncoder("-q 100 -c 10000 --mpeg-vers 4 -o '" + narrow + "' -", wav), 0);
  ASSERT_EQ(RunEncoder("-q 100 -c 22000 --mpeg-vers 4 -o '" + wide + "' -", wav), 0);
  const double narrow_db = LevelAbove(narrow, 13000);
  const double wide_db = LevelAbove(wide, 13000);
  std::printf("[ measure  ] level above 13 kHz: -c 10000 %.1f dB, -c 22000 %.1f dB\n", narrow_db, wide_db);
  EXPECT_LT(wide_db, -10);  // the signal has content up there
  EXPECT_LT(narrow_db, wide_db - 20);
}

TEST(AacEncProgramTest, BadOptionsAndInputFailWithOneLine) {
  const std::string out = TempDir() + "/bad.aac";
  const std::string wav = MusicWav(0.1, 44100, 2, false);
  std::string message;
  EXPECT_EQ(RunEncoder("-q 5 -o '" + out + "' -", wav, &message), 1);
  EXPECT_NE(message.find("qv3-aacenc: quality -q must be 10..500"), std::string::npos) << message;
  EXPECT_EQ(RunEncoder("-q 100 --bogus -o '" + out + "' -", wav, &message), 1);
  EXPECT_NE(message.find("unknown option"), std::string::npos) << message;
  EXPECT_EQ(RunEncoder("-q 100 -", wav, &message), 1);
  EXPECT_EQ(RunEncoder("-q 100 -o '" + out + "' -", "this is not audio", &message), 2);
  EXPECT_NE(message.find("not a WAV stream"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(RunEncoder("-q 100 -o '" + TempDir() + "/missing/x.aac' -", wav, &message), 3);
  EXPECT_NE(message.find("cannot create"), std::string::npos) << message;
  EXPECT_EQ(RunEncoder("--help", "", &message), 0);
  EXPECT_TRUE(message.empty()) << message;
  std::FILE* help = std::fopen((TempDir() + "/stdout.txt").c_str(), "r");
  ASSERT_NE(help, nullptr);
  char first[256] = {};
  EXPECT_NE(std::fgets(first, sizeof first, help), nullptr);
  std::fclose(help);
  EXPECT_EQ(std::string(first).rfind("Usage: qv3-aacenc", 0), 0u) << first;
}

}  // namespace
