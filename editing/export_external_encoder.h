// A command-line encoder fed a WAV stream (16-bit PCM, lengths 0 = until the
// end) on its standard input, e.g. the AAC encoder. Started from an argument
// list, never through a shell, so a path with quotes or blanks reaches it as
// written. SIGPIPE is ignored process-wide once an encoder starts: an encoder
// that exits early makes the next write fail with EPIPE, which is reported
// as the encoder's failure instead of ending this program.
#ifndef QV3_EDITING_EXPORT_EXTERNAL_ENCODER_H_
#define QV3_EDITING_EXPORT_EXTERNAL_ENCODER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editing/wav_writer.h"
#include "platform/process.h"

namespace qv3 {

// Error code when the program cannot be started (missing, not executable).
inline constexpr int kEncoderStartFailed = 2;
// Error code when the encoder broke off without an exit status of its own.
inline constexpr int kEncoderFailed = -1;

class ExternalEncoder {
 public:
  ExternalEncoder() = default;
  // Ends an encoder still running (its process group) and reaps it.
  ~ExternalEncoder();
  ExternalEncoder(const ExternalEncoder&) = delete;
  ExternalEncoder& operator=(const ExternalEncoder&) = delete;

  bool Start(const std::vector<std::string>& argv, int sample_rate, int channels);
  // Interleaved 16-bit samples. False once the encoder has gone.
  bool Write(const int16_t* interleaved, size_t frames);
  // Ends the stream, waits for the encoder and checks its exit status.
  bool Stop();
  // Ends the encoder without waiting for a result (a failed export).
  void Abort();

  // kEncoderStartFailed, the encoder's non-zero exit status, or kEncoderFailed.
  int error() const { return error_; }
  // What the encoder printed (standard output and error together).
  const std::string& output() const { return output_; }

 private:
  void JoinReader();

  ChildProcess child_;
  FILE* stream_ = nullptr;
  WavWriter wav_;
  std::thread reader_;
  std::string output_;
  int channels_ = 0;
  int error_ = 0;
};

// The AAC encoder's argument list: the program, the options of the quality
// row split at blanks, the extra option when not empty ("-w" for MP4),
// "-o", the output path and "-" for standard input.
std::vector<std::string> AacEncoderArguments(const std::string& program,
                                             const std::string& options,
                                             const std::string& extra,
                                             const std::string& output_path);

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_EXTERNAL_ENCODER_H_
