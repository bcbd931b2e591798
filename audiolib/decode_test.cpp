// Decoding streams: round trips of a chirp through Debian's ffmpeg encoders,
// exact lengths and offsets, seeks against sequential decoding, positions,
// conversions and the error codes of bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "audiolib/audiolib.h"
#include "audiolib/test_util.h"

namespace qv3 {
namespace {

using audiolib_test::BestLag;
using audiolib_test::ChirpWav;
using audiolib_test::DecodeAll;
using audiolib_test::Encoded;
using audiolib_test::SnrDb;
using audiolib_test::TestDataDir;

struct Format {
  const char* ext;
  const char* args;
  uint32_t rate;
  bool exact_length;   // the container carries the sample count
  bool exact_seek;     // seeks give the sequential samples bit for bit
  int offset;          // frames the decoded audio is ahead (-) / behind (+)
  double min_snr_db;
};

// What each codec can promise. Raw ADTS AAC cannot declare its encoder
// priming (1024 frames); FFmpeg's own WMA encoder drops its first frame.
const Format kFormats[] = {
    {"wav", "-c:a pcm_s16le", 44100, true, true, 0, 90},
    {"aiff", "", 44100, true, true, 0, 90},
    {"flac", "", 44100, true, true, 0, 90},
    {"mp3", "-c:a libmp3lame -b:a 192k", 44100, true, true, 0, 20},
    {"m4a", "-c:a aac -b:a 192k", 44100, true, false, 0, 25},
    {"ogg", "-c:a libvorbis -q:a 6", 44100, true, false, 0, 20},
    {"opus", "-c:a libopus -b:a 160k", 48000, true, false, 0, 15},
    {"wma", "-c:a wmav2 -b:a 192k", 44100, false, false, -2048, 10},
    {"aac", "-c:a aac -b:a 192k", 44100, false, false, 1024, 25},
};

class DecodeFormatTest : public ::testing::TestWithParam<Format> {};

TEST_P(DecodeFormatTest, RoundTripLengthOffsetAndQuality) {
  const Format& f = GetParam();
  const std::string path = Encoded(f.ext, f.args, f.rate);
  if (path.empty()) GTEST_SKIP() << "ffmpeg cannot encode " << f.ext;
  const auto ref = DecodeAll(ChirpWav(f.rate), kSampleFloat);
  ChannelInfo info{};
  const auto got = DecodeAll(path, kSampleFloat | kStreamPrescan, &info);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(info.freq, f.rate);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_EQ(info.flags & kSampleFloat, kSampleFloat);

  const size_t frames = static_cast<size_t>(2.5 * f.rate);
  if (f.exact_length) {
    EXPECT_EQ(got.size() / 2, frames);
    StreamHandle h = StreamCreateFile(path.c_str(), 0, 0, kStreamDecode | kSampleFloat | kStreamPrescan);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(ChannelGetLength(h, kPosByte), frames * 8);
    StreamFree(h);
  } else {
    EXPECT_NEAR(static_cast<double>(got.size() / 2), static_cast<double>(frames), 4096.0);
  }
  const int lag = BestLag(ref, got, 2, 3000);
  EXPECT_EQ(lag, f.offset);
  EXPECT_GT(SnrDb(ref, got, lag), f.min_snr_db);
}

TEST_P(DecodeFormatTest, RandomSeeksMatchSequentialDecoding) {
  const Format& f = GetParam();
  const std::string path = Encoded(f.ext, f.args, f.rate);
  if (path.empty()) GTEST_SKIP() << "ffmpeg cannot encode " << f.ext;
  const auto seq = DecodeAll(path, kSampleFloat | kStreamPrescan);
  const size_t frames = seq.size() / 2;
  ASSERT_GT(frames, 10000u);
  StreamHandle h = StreamCreateFile(path.c_str(), 0, 0, kStreamDecode | kSampleFloat | kStreamPrescan);
  ASSERT_NE(h, 0u);
  std::mt19937 rng(1234);
  // Seeking in lossy FFmpeg formats decodes a preroll each time: fewer rounds.
  const int rounds = f.exact_seek ? 1000 : 150;
  const size_t len = 64;
  float buf[len * 2];
  int mismatches = 0;
  double worst = 0;
  for (int r = 0; r < rounds; ++r) {
    const size_t at = std::uniform_int_distribution<size_t>(0, frames - len)(rng);
    ASSERT_TRUE(ChannelSetPosition(h, at * 8, kPosByte)) << at;
    ASSERT_EQ(ChannelGetPosition(h, kPosByte), at * 8);
    ASSERT_EQ(ChannelGetData(h, buf, sizeof buf | kDataFloat), sizeof buf) << at;
    for (size_t i = 0; i < len * 2; ++i) {
      const double d = std::fabs(buf[i] - seq[at * 2 + i]);
      worst = std::max(worst, d);
      if (d > 0) ++mismatches;
    }
  }
  if (f.exact_seek) {
    EXPECT_EQ(mismatches, 0) << "worst difference " << worst;
  } else {
    EXPECT_LT(worst, 0.02);
  }
  // Seeking to the end gives the end; beyond it is refused for exact lengths.
  EXPECT_TRUE(ChannelSetPosition(h, frames * 8, kPosByte));
  EXPECT_EQ(ChannelGetData(h, buf, sizeof buf | kDataFloat), kDataError);
  EXPECT_EQ(ErrorGetCode(), kErrorEnded);
  StreamFree(h);
}

INSTANTIATE_TEST_SUITE_P(Codecs, DecodeFormatTest, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.ext); });

TEST(DecodeTest, VideoFileDecodesItsAudio) {
  const std::string path = TestDataDir() + "/video.mp4";
  if (!std::filesystem::exists(path)) {
    const std::string tmp = TestDataDir() + "/video_tmp" + std::to_string(getpid()) + ".mp4";
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i color=c=black:s=32x32:d=2.5:r=10 -i '" +
                            ChirpWav(44100) + "' -c:v mpeg4 -c:a aac -shortest '" + tmp + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "ffmpeg cannot make a video";
    std::filesystem::rename(tmp, path);
  }
  ChannelInfo info{};
  const auto got = DecodeAll(path, kSampleFloat, &info);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_NEAR(static_cast<double>(got.size() / 2), 2.5 * 44100, 2048);
  EXPECT_GT(SnrDb(DecodeAll(ChirpWav(44100), kSampleFloat), got, 0), 20);
}

TEST(DecodeTest, SixteenBitAndFloatAgreeAndPositionsCountTheirFormat) {
  const std::string wav = ChirpWav(44100);
  StreamHandle f = StreamCreateFile(wav.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  StreamHandle s = StreamCreateFile(wav.c_str(), 0, 0, kStreamDecode);
  ASSERT_TRUE(f && s);
  const uint64_t frames = 110250;
  EXPECT_EQ(ChannelGetLength(f, kPosByte), frames * 8);
  EXPECT_EQ(ChannelGetLength(s, kPosByte), frames * 4);
  ChannelInfo info{};
  ASSERT_TRUE(ChannelGetInfo(s, &info));
  EXPECT_EQ(info.origres, 16u);
  EXPECT_EQ(info.flags & kSampleFloat, 0u);
  EXPECT_STREQ(info.filename, wav.c_str());
  EXPECT_DOUBLE_EQ(ChannelBytes2Seconds(f, 44100 * 8), 1.0);
  EXPECT_DOUBLE_EQ(ChannelBytes2Seconds(s, 44100 * 4), 1.0);
  EXPECT_EQ(ChannelSeconds2Bytes(f, 1.5), 66150u * 8);
  // Whole frames: 1/3 s is 14700 frames exactly, a hair more stays there.
  EXPECT_EQ(ChannelSeconds2Bytes(s, 0.3333334), 14700u * 4);

  int16_t pcm[200];
  float flt[200];
  ASSERT_EQ(ChannelGetData(s, pcm, sizeof pcm), sizeof pcm);
  // The float flag on a 16-bit stream converts; byte counts are of floats.
  float conv[200];
  ASSERT_TRUE(ChannelSetPosition(s, 0, kPosByte));
  ASSERT_EQ(ChannelGetData(s, conv, sizeof conv | kDataFloat), sizeof conv);
  ASSERT_EQ(ChannelGetData(f, flt, sizeof flt | kDataFloat), sizeof flt);
  for (int i = 0; i < 200; ++i) {
    EXPECT_NEAR(pcm[i] / 32768.0, flt[i], 1.0 / 32768);
    EXPECT_FLOAT_EQ(conv[i], pcm[i] / 32768.0f);
  }
  EXPECT_EQ(ChannelGetPosition(f, kPosByte), 100u * 8);
  EXPECT_EQ(ChannelGetPosition(s, kPosByte), 100u * 4);
  EXPECT_EQ(StreamGetFilePosition(f, kFilePosEnd), std::filesystem::file_size(wav));
  StreamFree(f);
  StreamFree(s);
}

TEST(DecodeTest, PositionsSetInsideAFrameAreFlooredSoChannelsDoNotSwap) {
  const std::string wav = ChirpWav(44100);
  StreamHandle h = StreamCreateFile(wav.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  ASSERT_NE(h, 0u);
  float a[2], b[2];
  ASSERT_TRUE(ChannelSetPosition(h, 1000 * 8, kPosByte));
  ChannelGetData(h, a, sizeof a | kDataFloat);
  ASSERT_TRUE(ChannelSetPosition(h, 1000 * 8 + 4, kPosByte));  // the right sample of frame 1000
  EXPECT_EQ(ChannelGetPosition(h, kPosByte), 1000u * 8);
  ChannelGetData(h, b, sizeof b | kDataFloat);
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
  // Reads of a partial frame deliver whole frames only.
  float c[3];
  EXPECT_EQ(ChannelGetData(h, c, 12 | kDataFloat), 8u);
  StreamFree(h);
}

TEST(DecodeTest, TempoWrapperIsNeutralAndFreesItsSource) {
  const std::string wav = ChirpWav(44100);
  StreamHandle src = StreamCreateFile(wav.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  StreamHandle tempo = TempoCreate(src, kFxFreeSource);
  ASSERT_NE(tempo, 0u);
  ChannelInfo info{};
  ChannelGetInfo(tempo, &info);
  EXPECT_EQ(info.ctype, kCtypeStreamTempo);
  EXPECT_EQ(ChannelGetLength(tempo, kPosByte), 110250u * 8);
  ASSERT_TRUE(ChannelSetPosition(tempo, 5000 * 8, kPosByte));
  float x[512], y[512];
  ASSERT_EQ(ChannelGetData(tempo, x, sizeof x | kDataFloat), sizeof x);
  StreamHandle ref = StreamCreateFile(wav.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  ChannelSetPosition(ref, 5000 * 8, kPosByte);
  ChannelGetData(ref, y, sizeof y | kDataFloat);
  EXPECT_EQ(0, std::memcmp(x, y, sizeof x));
  EXPECT_TRUE(StreamFree(tempo));
  EXPECT_FALSE(ChannelGetInfo(src, &info));  // freed with the wrapper
  EXPECT_EQ(ErrorGetCode(), kErrorHandle);
  // A playable channel cannot be wrapped... nor a missing one.
  EXPECT_EQ(TempoCreate(12345678, 0), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorHandle);
  StreamFree(ref);
}

TEST(DecodeTest, DecodingSyncsAndDspRunOnTheReadingThread) {
  const std::string wav = ChirpWav(44100);
  StreamHandle h = StreamCreateFile(wav.c_str(), 0, 0, kStreamDecode | kSampleFloat);
  struct Ctx {
    int pos_calls = 0;
    int end_calls = 0;
    uint32_t data = 0;
  } ctx;
  ChannelSetSync(h, kSyncPos, 1000 * 8, [](SyncHandle, StreamHandle, uint32_t d, void* u) {
    auto* c = static_cast<Ctx*>(u);
    ++c->pos_calls;
    c->data = d;
  }, &ctx);
  ChannelSetSync(h, kSyncEnd, 0, [](SyncHandle, StreamHandle, uint32_t, void* u) {
    ++static_cast<Ctx*>(u)->end_calls;
  }, &ctx);
  ChannelSetDSP(h, [](DspHandle, StreamHandle, void* buf, uint32_t len, void*) {
    auto* f = static_cast<float*>(buf);
    for (uint32_t i = 0; i < len / 4; ++i) f[i] = 0.25f;
  }, nullptr, 0);
  std::vector<float> buf(44100 * 2);
  ASSERT_EQ(ChannelGetData(h, buf.data(), 600 * 8 | kDataFloat), 600u * 8);
  EXPECT_EQ(ctx.pos_calls, 0);
  ASSERT_EQ(ChannelGetData(h, buf.data(), 600 * 8 | kDataFloat), 600u * 8);
  EXPECT_EQ(ctx.pos_calls, 1);
  EXPECT_EQ(ctx.data, 8000u);
  EXPECT_EQ(buf[17], 0.25f);
  while (ChannelGetData(h, buf.data(), static_cast<uint32_t>(buf.size() * 4) | kDataFloat) != kDataError) {
  }
  EXPECT_EQ(ctx.end_calls, 1);
  EXPECT_EQ(ChannelIsActive(h), kActiveStopped);
  StreamFree(h);
}

TEST(DecodeTest, BadInputGivesErrorCodes) {
  const std::string dir = TestDataDir();
  EXPECT_EQ(StreamCreateFile((dir + "/does_not_exist.mp3").c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorFileOpen);
  EXPECT_EQ(StreamCreateFile(dir.c_str(), 0, 0, kStreamDecode), 0u);  // a folder
  EXPECT_EQ(ErrorGetCode(), kErrorFileOpen);

  const std::string empty = dir + "/empty.wav";
  std::ofstream(empty).close();
  EXPECT_EQ(StreamCreateFile(empty.c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorFileForm);

  const std::string noise = dir + "/noise.mp3";
  {
    std::mt19937 rng(7);
    std::ofstream out(noise, std::ios::binary);
    for (int i = 0; i < 20000; ++i) out.put(static_cast<char>(rng() & 0x7f));
  }
  EXPECT_EQ(StreamCreateFile(noise.c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorFileForm);

  // A truncated file opens and decodes what is there, or fails cleanly.
  for (const char* ext : {"flac", "m4a", "mp3", "ogg"}) {
    const std::string src = Encoded(ext, std::string(ext) == "ogg" ? "-c:a libvorbis" : "");
    if (src.empty()) continue;
    const std::string cut = dir + "/truncated." + ext;
    std::filesystem::copy_file(src, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(src) / 2);
    StreamHandle h = StreamCreateFile(cut.c_str(), 0, 0, kStreamDecode | kSampleFloat);
    if (!h) {
      EXPECT_EQ(ErrorGetCode(), kErrorFileForm) << ext;
      continue;
    }
    std::vector<float> buf(8192);
    uint64_t total = 0;
    uint32_t n;
    while ((n = ChannelGetData(h, buf.data(), 32768 | kDataFloat)) != kDataError) total += n;
    EXPECT_GT(total, 0u) << ext;
    EXPECT_LT(total, 110250u * 8) << ext;
    StreamFree(h);
  }

  // Playlists that would make the decoder open other files or addresses
  // named inside them are refused.
  const std::string hls = dir + "/playlist.mp3";
  std::ofstream(hls) << "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:2.5,\n" << Encoded("flac", "")
                     << "\n#EXT-X-ENDLIST\n";
  EXPECT_EQ(StreamCreateFile(hls.c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorFileForm);
  const std::string concat = dir + "/list.ogg";
  std::ofstream(concat) << "ffconcat version 1.0\nfile '" << Encoded("flac", "") << "'\n";
  EXPECT_EQ(StreamCreateFile(concat.c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorFileForm);
  // A name that looks like an address is still a local file.
  const std::string colon = dir + "/http:song.m4a";
  std::filesystem::copy_file(Encoded("m4a", "-c:a aac -b:a 192k"), colon,
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(DecodeAll(colon, kSampleFloat).size(), 110250u * 2);

  // The decoder is chosen by content, not by name.
  const std::string wrong = dir + "/really_flac.mp3";
  std::filesystem::copy_file(Encoded("flac", ""), wrong, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(DecodeAll(wrong, kSampleFloat).size(), 110250u * 2);
}

TEST(DecodeTest, ProtectedWmaGivesError1000) {
  // An ASF header whose only object is a Content Encryption object.
  const unsigned char header_guid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  const unsigned char enc_guid[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                      0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
  std::string bytes(reinterpret_cast<const char*>(header_guid), 16);
  auto u64 = [&](uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
  };
  u64(30 + 40);
  bytes += std::string("\x01\x00\x00\x00\x01\x02", 6);
  bytes.append(reinterpret_cast<const char*>(enc_guid), 16);
  u64(40);
  bytes.append(16, '\0');
  const std::string path = TestDataDir() + "/protected.wma";
  std::ofstream(path, std::ios::binary) << bytes;
  EXPECT_EQ(StreamCreateFile(path.c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorProtected);
  EXPECT_EQ(WmaStreamCreateFile(path.c_str(), 0, 0, kStreamDecode), 0u);
  EXPECT_EQ(ErrorGetCode(), kErrorProtected);
}

TEST(DecodeTest, DecodingChannelsRefuseTransportCalls) {
  StreamHandle h = StreamCreateFile(ChirpWav(44100).c_str(), 0, 0, kStreamDecode);
  EXPECT_FALSE(ChannelPlay(h, false));
  EXPECT_EQ(ErrorGetCode(), kErrorDecode);
  EXPECT_EQ(StreamPutData(h, "ab", 2), kDataError);
  EXPECT_FALSE(ChannelSetPosition(h, 10'000'000 * 4ull, kPosByte));
  EXPECT_EQ(ErrorGetCode(), kErrorPosition);
  StreamFree(h);
  EXPECT_FALSE(StreamFree(h));
  EXPECT_EQ(ErrorGetCode(), kErrorHandle);
}

}  // namespace
}  // namespace qv3
