// The frame range kernels: every audio edit writes a complete new file from
// the current one. Each kernel opens a source, creates a destination with the
// source's sample rate, channel count and format, and streams the frames
// through in chunks of at most kKernelChunkFrames, copying, dropping, inserting
// or scaling them on the way. Memory is fixed per call (chunk buffers of
// 10000 frames, 256 kB of I/O buffer per file), whatever the file length.
//
// Frame positions are 0-based frame indices of the source; ranges give the
// first and the last frame, both included. A range or position past the end of
// the source simply ends early. The kernels show nothing; the caller turns the
// result into its message.
//
// Samples are scaled in 64-bit floats. Integer PCM (8/16/24/32-bit, also in
// FLAC) is read and written through libsndfile's int interface and rounded to
// nearest at the file's own resolution, or un-normalised where doubles cross
// libsndfile, so values come back exactly as they went in; frames outside the
// edited range come out bit-identical in every format. Values beyond the
// format's range (gain above 1) clip instead of wrapping around.
//
// Every read, write and the final close are checked: a full disk gives
// kKernelWriteError even when it strikes while the file is being finished.
#ifndef QV3_ENGINE_FRAME_RANGE_KERNELS_H_
#define QV3_ENGINE_FRAME_RANGE_KERNELS_H_

#include <cstdint>
#include <string>

namespace qv3 {

// Results shared by every kernel.
inline constexpr int kKernelDone = 0;
// The source could not be opened (or read: an I/O error part-way).
inline constexpr int kKernelSourceError = 1;
// The destination could not be created (missing folder, unwritable format,
// or the destination is the source file itself).
inline constexpr int kKernelDestinationError = 2;
// The clipboard file could not be opened or read, or its channel count differs
// from the source's (paste only).
inline constexpr int kKernelClipboardError = 3;
// A write stored fewer frames than were read, or finishing the file failed
// (disk full). The partly written destination is left on disk, closed.
inline constexpr int kKernelWriteError = 4;

// Largest number of frames read or written at once.
inline constexpr int64_t kKernelChunkFrames = 10000;

// Destination receives source frames first..last. A failed seek (first past
// the end) gives an empty destination and kKernelDone.
int CopyFrameRange(const std::string& source, const std::string& destination, int64_t first,
                   int64_t last);
// Destination receives the source without frames first..last.
int DeleteFrameRange(const std::string& source, const std::string& destination, int64_t first,
                     int64_t last);
// Destination receives source frames before position, every frame of the
// clipboard file, then the rest of the source.
int PasteFrames(const std::string& source, const std::string& destination,
                const std::string& clipboard, int64_t position);
// Destination receives source frames before position, count silent frames,
// then the rest of the source. The silence is written in whole chunks.
int InsertSilence(const std::string& source, const std::string& destination, int64_t position,
                  int64_t count);
// Frames first..last multiplied by gain (0.0 silences them exactly; NaN
// counts as 0.0).
int ChangeGain(const std::string& source, const std::string& destination, double gain,
               int64_t first, int64_t last);
// A linear ramp over first..last advancing per sample in interleaved order:
// step = 1 / frames / channels; fade in starts at 0.0 and grows (capped at
// 1.0), fade out starts at 1.0 and shrinks (floored at 0.0). In stereo the
// right sample of a frame is one step further than the left.
int FadeIn(const std::string& source, const std::string& destination, int64_t first,
           int64_t last);
int FadeOut(const std::string& source, const std::string& destination, int64_t first,
            int64_t last);

}  // namespace qv3

#endif  // QV3_ENGINE_FRAME_RANGE_KERNELS_H_
