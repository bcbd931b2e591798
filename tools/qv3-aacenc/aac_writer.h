// Encodes interleaved float audio to AAC with FFmpeg's own encoder and writes
// it as a raw ADTS stream or an MP4 (M4A) file.
#ifndef QV3_TOOLS_QV3_AACENC_AAC_WRITER_H_
#define QV3_TOOLS_QV3_AACENC_AAC_WRITER_H_

#include <string>

struct AVAudioFifo;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;

namespace qv3::aacenc {

struct AacWriterSettings {
  std::string path;
  bool mp4 = false;
  int input_rate = 44100;
  int channels = 2;
  long bit_rate = 128000;
  int cutoff_hz = 0;  // 0: the encoder's choice
};

class AacWriter {
 public:
  AacWriter() = default;
  ~AacWriter();
  AacWriter(const AacWriter&) = delete;
  AacWriter& operator=(const AacWriter&) = delete;

  // Creates the output file and the encoder. False with a reason on failure.
  bool Open(const AacWriterSettings& settings, std::string* error);
  // Encodes `frames` interleaved frames.
  bool Write(const float* interleaved, int frames, std::string* error);
  // Flushes the encoder and finishes the file.
  bool Finish(std::string* error);

  // The rate the encoder runs at (the input rate when AAC supports it).
  int encoder_rate() const;

 private:
  bool EncodeFromFifo(bool flush, std::string* error);
  bool Drain(std::string* error);

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  long long next_pts_ = 0;
  bool header_written_ = false;
  bool file_open_ = false;
};

// The AAC sample rate to encode an input rate at: the rate itself when AAC
// has it, else the nearest AAC rate above it (96000 at most).
int AacSampleRate(int input_rate);

}  // namespace qv3::aacenc

#endif  // QV3_TOOLS_QV3_AACENC_AAC_WRITER_H_
