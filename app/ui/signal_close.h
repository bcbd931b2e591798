// Closes every window when the process gets SIGTERM, SIGINT or SIGHUP (a
// session ending, Ctrl+C in the terminal), so the main window runs its normal
// close and clean-up and the program exits with 0 instead of dying mid-write.
#ifndef QV3_APP_UI_SIGNAL_CLOSE_H_
#define QV3_APP_UI_SIGNAL_CLOSE_H_

namespace qv3 {

// Call once after the QApplication exists.
void CloseWindowsOnTerminationSignals();

}  // namespace qv3

#endif  // QV3_APP_UI_SIGNAL_CLOSE_H_
