#include "editing/export_outputs.h"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "audiolib/encode.h"
#include "editing/export_external_encoder.h"
#include "editing/wav_writer.h"
#include "platform/ui_services.h"

namespace qv3 {
namespace {

// Removes what an unfinished export left, only if it is a plain file (an
// export to a device such as /dev/null is left alone).
void RemovePartial(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
}

void ShowWriteFailure(const std::string& path) { MessageBoxF(kExportWriteFailFormat, path.c_str()); }

// Scaled floats to the 16-bit samples of WAV, WMA and the encoder stream.
class Int16Block {
 public:
  const int16_t* Convert(const float* samples, size_t count) {
    buffer_.resize(count);
    for (size_t i = 0; i < count; ++i) buffer_[i] = ExportSample16(samples[i]);
    return buffer_.data();
  }

 private:
  std::vector<int16_t> buffer_;
};

// What every output does around its sink: a failed write or finish abandons
// the file (removing what was written) and reports the failure once.
class FileOutput : public ExportOutput {
 public:
  FileOutput(std::string path, int channels) : path_(std::move(path)), channels_(channels) {}
  bool Write(const float* samples, size_t frames) override {
    if (WriteBlock(samples, frames)) return true;
    Fail();
    return false;
  }
  bool Close() override {
    if (Finish()) return true;
    Fail();
    return false;
  }
  void Abandon() override {
    Discard();
    RemovePartial(path_);
  }

 protected:
  virtual bool WriteBlock(const float* samples, size_t frames) = 0;
  virtual bool Finish() = 0;
  // Ends the sink without finishing the file.
  virtual void Discard() { Finish(); }
  virtual void Fail() {
    Abandon();
    ShowWriteFailure(path_);
  }
  const int16_t* Samples16(const float* samples, size_t frames) {
    return block_.Convert(samples, frames * static_cast<size_t>(channels_));
  }
  size_t Bytes16(size_t frames) const {
    return frames * static_cast<size_t>(channels_) * sizeof(int16_t);
  }

 private:
  std::string path_;
  int channels_;
  Int16Block block_;
};

class WavOutput : public FileOutput {
 public:
  using FileOutput::FileOutput;
  bool Open(const std::string& path, int channels, int rate) {
    return wav_.Open(path, channels, rate, 16);
  }

 private:
  bool WriteBlock(const float* samples, size_t frames) override {
    return wav_.Write(Samples16(samples, frames), Bytes16(frames));
  }
  bool Finish() override { return wav_.Finish(); }
  WavWriter wav_;
};

class Mp3Output : public FileOutput {
 public:
  using FileOutput::FileOutput;
  Mp3Encoder& encoder() { return encoder_; }

 private:
  bool WriteBlock(const float* samples, size_t frames) override {
    return encoder_.Write(samples, frames);
  }
  bool Finish() override { return encoder_.Stop(); }
  Mp3Encoder encoder_;
};

class AacOutput : public FileOutput {
 public:
  using FileOutput::FileOutput;
  ExternalEncoder& encoder() { return encoder_; }

 private:
  bool WriteBlock(const float* samples, size_t frames) override {
    if (encoder_.Write(Samples16(samples, frames), frames)) return true;
    // The encoder went away mid-stream: its exit status tells why.
    encoder_.Stop();
    return false;
  }
  bool Finish() override { return encoder_.Stop(); }
  void Discard() override { encoder_.Abort(); }
  void Fail() override {
    const int code = encoder_.error() != 0 ? encoder_.error() : kEncoderFailed;
    if (!encoder_.output().empty()) std::fprintf(stderr, "%s", encoder_.output().c_str());
    Abandon();
    MessageBoxF(kAacStartFailFormat, code);
  }
  ExternalEncoder encoder_;
};

class WmaOutput : public FileOutput {
 public:
  using FileOutput::FileOutput;
  WmaEncoder& encoder() { return encoder_; }

 private:
  bool WriteBlock(const float* samples, size_t frames) override {
    return encoder_.Write(Samples16(samples, frames), frames);
  }
  bool Finish() override { return encoder_.Close(); }
  WmaEncoder encoder_;
};

}  // namespace

ExportOpenOutcome OpenExportOutput(const std::string& path, int sample_rate, int channels,
                             ExportDialogs* dialogs, const ExportTools& tools,
                             std::unique_ptr<ExportOutput>* output) {
  const ExportFormat format = ExportFormatOfPath(path);
  switch (format) {
    case ExportFormat::kWav: {
      auto wav = std::make_unique<WavOutput>(path, channels);
      if (!wav->Open(path, channels, sample_rate)) {
        RemovePartial(path);
        MessageBoxF(kExportCreateFailFormat, path.c_str());
        return ExportOpenOutcome::kFailed;
      }
      *output = std::move(wav);
      return ExportOpenOutcome::kOpened;
    }
    case ExportFormat::kMp3: {
      const std::vector<Mp3Format> formats = Mp3Formats(sample_rate, channels);
      if (formats.empty()) {
        MessageBoxF(kMp3FormatUnavailableFormat, 37, RateWithComma(sample_rate).c_str());
        return ExportOpenOutcome::kFailed;
      }
      Mp3Format chosen;
      if (!dialogs->ChooseMp3Format(formats, &chosen)) return ExportOpenOutcome::kCancelled;
      auto mp3 = std::make_unique<Mp3Output>(path, channels);
      if (!mp3->encoder().Start(path, chosen)) {
        const int code = mp3->encoder().error();
        if (code == 37) {
          MessageBoxF(kMp3FormatUnavailableFormat, code, RateWithComma(sample_rate).c_str());
        } else {
          MessageBoxF(kMp3StartFailFormat, code);
        }
        return ExportOpenOutcome::kFailed;
      }
      *output = std::move(mp3);
      return ExportOpenOutcome::kOpened;
    }
    case ExportFormat::kAac:
    case ExportFormat::kMp4: {
      AacQuality quality{};
      if (!dialogs->ChooseAacQuality(&quality)) return ExportOpenOutcome::kCancelled;
      auto aac = std::make_unique<AacOutput>(path, channels);
      const auto argv = AacEncoderArguments(tools.aac_encoder, quality.options,
                                            format == ExportFormat::kMp4 ? "-w" : "", path);
      if (!aac->encoder().Start(argv, sample_rate, channels)) {
        MessageBoxF(kAacStartFailFormat, aac->encoder().error());
        return ExportOpenOutcome::kFailed;
      }
      *output = std::move(aac);
      return ExportOpenOutcome::kOpened;
    }
    case ExportFormat::kWma: {
      // The dialog offers what the writer has for CD-quality audio; another
      // rate is refused when the file is opened.
      int rate = 0;
      if (!dialogs->ChooseWmaRate(WmaEncodeGetRates(44100, 2), &rate)) {
        return ExportOpenOutcome::kCancelled;
      }
      auto wma = std::make_unique<WmaOutput>(path, channels);
      if (!wma->encoder().Open(path, sample_rate, channels, rate)) {
        const int code = wma->encoder().error();
        if (code == 37) {
          MessageBoxF(kWmaFormatUnavailableFormat, code);
        } else {
          MessageBoxF(kWmaStartFailFormat, code);
        }
        RemovePartial(path);
        return ExportOpenOutcome::kFailed;
      }
      *output = std::move(wma);
      return ExportOpenOutcome::kOpened;
    }
  }
  return ExportOpenOutcome::kFailed;
}

}  // namespace qv3
