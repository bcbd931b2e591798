// The export outputs: WAV by the system's writer, MP3 (LAME), AAC / MP4 (the
// external AAC encoder) and WMA. Each opens with its own questions and
// messages, takes scaled float blocks and closes; a write failure is shown
// and the unfinished file is removed, so no half file is left looking done.
#ifndef QV3_EDITING_EXPORT_OUTPUTS_H_
#define QV3_EDITING_EXPORT_OUTPUTS_H_

#include <cstddef>
#include <memory>
#include <string>

#include "editing/export_dialogs.h"
#include "editing/export_job.h"

namespace qv3 {

inline constexpr char kExportCreateFailFormat[] = "Can't create the output file:\n\n   %s";
inline constexpr char kExportWriteFailFormat[] =
    "Error writing to the Export File:\n\n\t%s\n\nIs the file write protected, or is the disk "
    "full?";
inline constexpr char kMp3FormatUnavailableFormat[] =
    "Could not start the encoder.  Error code was %d - format not available.\n\nOne possible "
    "solution: Try a Sample Rate that is the same as the original (%sHz)";
inline constexpr char kMp3StartFailFormat[] = "Could not start the encoder.  Error code was %d";
inline constexpr char kAacStartFailFormat[] = "Could not start the AAC encoder.  Error code was %d";
inline constexpr char kWmaFormatUnavailableFormat[] =
    "Could not start the WMA encoder.  Error code was %d - format not available.\n\nTry using a "
    "source file that is standard CD quality (44,100 Hz, 16 Bit, Stereo)";
inline constexpr char kWmaStartFailFormat[] = "Could not start the WMA encoder.  Error code was %d";

// Where the external AAC encoder is found and how its failures are told.
struct ExportTools {
  std::string aac_encoder;  // the configured "FAACExe"
};

class ExportOutput {
 public:
  virtual ~ExportOutput() = default;
  // Scaled, interleaved float samples of the stream's layout.
  virtual bool Write(const float* samples, size_t frames) = 0;
  // Finishes the file; false (message shown, file removed) on failure.
  virtual bool Close() = 0;
  // Gives up: the unfinished file is removed.
  virtual void Abandon() = 0;
};

enum class ExportOpenOutcome { kOpened, kCancelled, kFailed };

// Asks what the format needs (format chooser, Bitrate dialog) and opens the
// output. Cancel gives kCancelled with nothing written and nothing shown;
// failures are shown here and give kFailed.
ExportOpenOutcome OpenExportOutput(const std::string& path, int sample_rate, int channels,
                             ExportDialogs* dialogs, const ExportTools& tools,
                             std::unique_ptr<ExportOutput>* output);

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_OUTPUTS_H_
