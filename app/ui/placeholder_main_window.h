// A plain main window shown after a successful start until the real main
// window takes its place: the right title and size, the start file, and the
// status read-out wired to the UI services.
#ifndef QV3_APP_UI_PLACEHOLDER_MAIN_WINDOW_H_
#define QV3_APP_UI_PLACEHOLDER_MAIN_WINDOW_H_

#include <QMainWindow>
#include <string>

class QLabel;

namespace qv3 {

class PlaceholderMainWindow : public QMainWindow {
 public:
  static constexpr int kMinWidth = 939;
  static constexpr int kMinHeight = 541;

  explicit PlaceholderMainWindow(const std::string& start_file, QWidget* parent = nullptr);

  void SetStatusText(const std::string& text);

 private:
  QLabel* status_ = nullptr;
};

}  // namespace qv3

#endif  // QV3_APP_UI_PLACEHOLDER_MAIN_WINDOW_H_
