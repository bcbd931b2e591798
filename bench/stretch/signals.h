// Generated test material for the stretch benchmark.
#ifndef QV3_BENCH_STRETCH_SIGNALS_H_
#define QV3_BENCH_STRETCH_SIGNALS_H_

#include <string>
#include <vector>

namespace qv3::bench {

using Planar = std::vector<std::vector<float>>;

// A minute-long (or `seconds`) stereo piece: bass, plucked chords, a
// vibrato melody, kick and hi-hat, panned across the image.
Planar MusicLike(double seconds, int rate);
Planar Tone(double hz, double seconds, int rate, int channels);
Planar Chord(const std::vector<double>& hz, double seconds, int rate);
// Broadband clicks every `period` seconds from `first`.
Planar ClickTrain(double seconds, double first, double period, int rate);

bool WriteWav(const std::string& path, const Planar& p, int rate);
bool ReadWav(const std::string& path, Planar* p, int* rate);

}  // namespace qv3::bench

#endif  // QV3_BENCH_STRETCH_SIGNALS_H_
