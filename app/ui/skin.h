// The look of the main program: a dark style sheet, the colours it uses,
// the read-out label (large digits readable from a music stand), and the
// program's own SVG icons, drawn at the screen's pixel ratio.
#ifndef QV3_APP_UI_SKIN_H_
#define QV3_APP_UI_SKIN_H_

#include <QIcon>
#include <QLabel>
#include <QString>

namespace qv3 {

// The application-wide style sheet.
QString SkinStyleSheet();

// The SVG source of a command's icon (empty when it has none).
QString CommandIconSvg(int command);
// The icon of a command, tinted for the dark theme; null when it has none.
QIcon CommandIcon(int command);
// The program's own window icon.
QIcon AppIcon();

// The custom read-out: a framed, large, monospaced-digit label.
class ReadoutLabel : public QLabel {
 public:
  // `point_size`: size of the digits; `widest`: the longest text it will
  // show, so the layout around it never moves while it counts.
  ReadoutLabel(const QString& text, int point_size, const QString& widest,
               QWidget* parent = nullptr);
};

}  // namespace qv3

#endif  // QV3_APP_UI_SKIN_H_
