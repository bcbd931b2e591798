// The converter's side of import: the shell scripts given to ffmpeg, the
// reading of its progress output and the failure report. Shared with the
// sniffer's own conversions.
#ifndef QV3_EDITING_IMPORT_FFMPEG_H_
#define QV3_EDITING_IMPORT_FFMPEG_H_

#include <string>
#include <vector>

namespace qv3 {

inline constexpr char kProbeScriptName[] = "VSCmdTmp.sh";
inline constexpr char kExtractScriptName[] = "ExtractAudioFromVideo.sh";
inline constexpr char kConverterErrorFileName[] = "FFMpegErrorOut.txt";
inline constexpr char kConversionFailedFormat[] =
    "The conversion command failed.  The output from the converter is:\n\n%s";

// Splits the configured converter options into words: blanks separate,
// single or double quotes group (and are removed).
std::vector<std::string> SplitOptions(const std::string& options);

// The probe script's line: ffmpeg -i source, every word quoted for sh.
std::string ProbeScriptText(const std::string& ffmpeg, const std::string& source);
// The conversion line: ffmpeg -y -i source options destination, every path
// and option quoted for sh, ending in a newline.
std::string ExtractScriptText(const std::string& ffmpeg, const std::string& source,
                              const std::string& options, const std::string& destination);
// Writes `text` to `path` (replacing it); false when it cannot.
bool WriteScriptFile(const std::string& path, const std::string& text);
// The command that runs a script file with the interpreter.
std::string ScriptCommand(const std::string& script_path);

// A clock "HH:MM:SS.xx" (or plain seconds "83.45") at the start of `text`;
// false for "N/A", negative values, and anything else.
bool ParseClockSeconds(const std::string& text, double* seconds);
// Seconds after the first "Duration: " in `output`; false when missing,
// unreadable or 0.
bool FindDuration(const std::string& output, double* seconds);
// Seconds converted so far: the last readable " time=" value in `text`
// (values of 10^10 and more count as 0). False when none is readable.
bool FindConvertedTime(const std::string& text, double* seconds);

// The converter output shown by the failure report: the lines after the
// first one containing "built on"; the whole output when no line does (the
// Debian banner says "built with").
std::string ConverterReportText(const std::string& output);
// Writes `output` to FFMpegErrorOut.txt in `temp_folder`, reads it back and
// shows "The conversion command failed. ..." with ConverterReportText (with
// the whole output when the file cannot be read back).
void ShowConverterFailureReport(const std::string& temp_folder, const std::string& output);

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_FFMPEG_H_
