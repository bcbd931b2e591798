#include "app/ui/skin.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>

#include "app/main_window_commands.h"

namespace qv3 {
namespace {

// Palette of the dark theme.
constexpr char kIconColour[] = "#dfe6ee";
constexpr char kAccent[] = "#4fc3a1";
constexpr char kWarm[] = "#f0a35e";

// The shapes, on a 24 x 24 grid; "C" is replaced by the icon colour, "A" by
// the accent and "W" by the warm colour.
QString Shape(int command) {
  using namespace cmd;
  switch (command) {
    case kOpen:
      return R"(<path d="M3 6h6l2 2h9v10H3z" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M3 10h17" stroke="C" stroke-width="1.8"/>)";
    case kSave:
      return R"(<path d="M4 4h13l3 3v13H4z" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><rect x="7" y="4" width="8" height="5" fill="C"/><rect x="7" y="13" width="10" height="7" rx="1" fill="none" stroke="C" stroke-width="1.5"/>)";
    case kSaveAs:
      return R"(<path d="M4 4h11l3 3v5" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M4 4v16h7" fill="none" stroke="C" stroke-width="1.8"/><rect x="7" y="4" width="7" height="4" fill="C"/><path d="M13 20l1-3 6-6 2 2-6 6z" fill="A"/>)";
    case kExport:
      return R"(<path d="M12 3v11M7 8l5-5 5 5" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/><path d="M4 13v7h16v-7" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/>)";
    case kRipCd:
      return R"(<circle cx="12" cy="12" r="8.5" fill="none" stroke="C" stroke-width="1.8"/><circle cx="12" cy="12" r="2.5" fill="C"/><path d="M12 5.5a6.5 6.5 0 0 1 6.5 6.5" fill="none" stroke="A" stroke-width="1.5"/>)";
    case kEdit:
      return R"(<circle cx="6.5" cy="17.5" r="2.8" fill="none" stroke="C" stroke-width="1.8"/><circle cx="17.5" cy="17.5" r="2.8" fill="none" stroke="C" stroke-width="1.8"/><path d="M8.5 15.5L18 4M15.5 15.5L6 4" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)";
    case kUndo:
      return R"(<path d="M9 5L4 10l5 5" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/><path d="M4 10h10a6 6 0 0 1 0 12h-3" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)";
    case kRedo:
      return R"(<path d="M15 5l5 5-5 5" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/><path d="M20 10H10a6 6 0 0 0 0 12h3" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)";
    case kIndicatorFixed:
      return R"(<path d="M12 3v18" stroke="A" stroke-width="2"/><path d="M3 12h5M16 12h5" stroke="C" stroke-width="1.8"/><path d="M5 9l-2 3 2 3M19 9l2 3-2 3" fill="none" stroke="C" stroke-width="1.5"/>)";
    case kIndicatorFloat:
      return R"(<path d="M7 3v18" stroke="A" stroke-width="2"/><path d="M11 12h9M17 9l3 3-3 3" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)";
    case kAddMarker:
      return R"(<path d="M6 21V4" stroke="C" stroke-width="1.8" stroke-linecap="round"/><path d="M6 4h11l-3 4 3 4H6z" fill="W"/>)";
    case kEqWindow:
      return R"(<path d="M6 4v16M12 4v16M18 4v16" stroke="C" stroke-width="1.5"/><rect x="4" y="13" width="4" height="3" rx="1" fill="A"/><rect x="10" y="7" width="4" height="3" rx="1" fill="A"/><rect x="16" y="11" width="4" height="3" rx="1" fill="A"/>)";
    case kScorelet:
      return R"(<path d="M3 7h18M3 10h18M3 13h18M3 16h18" stroke="C" stroke-width="1"/><ellipse cx="9" cy="16" rx="2.4" ry="1.8" fill="A"/><path d="M11.3 16V5l5 2" fill="none" stroke="A" stroke-width="1.6"/>)";
    case kSniffer:
      return R"(<circle cx="12" cy="16" r="2" fill="C"/><path d="M8 12a5.6 5.6 0 0 1 8 0M5 9a9.9 9.9 0 0 1 14 0" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)";
    case kVocalReduction:
      return R"(<rect x="9" y="3" width="6" height="11" rx="3" fill="none" stroke="C" stroke-width="1.8"/><path d="M6 11a6 6 0 0 0 12 0M12 17v4" fill="none" stroke="C" stroke-width="1.8"/><path d="M4 4l16 16" stroke="W" stroke-width="1.8" stroke-linecap="round"/>)";
    case kOptions:
      return R"(<circle cx="12" cy="12" r="3.2" fill="none" stroke="C" stroke-width="1.8"/><path d="M12 2.5v3M12 18.5v3M2.5 12h3M18.5 12h3M5.3 5.3l2.1 2.1M16.6 16.6l2.1 2.1M5.3 18.7l2.1-2.1M16.6 7.4l2.1-2.1" stroke="C" stroke-width="1.8" stroke-linecap="round"/>)";
    case kHelp:
      return R"(<circle cx="12" cy="12" r="9" fill="none" stroke="C" stroke-width="1.8"/><path d="M9.2 9.5a2.9 2.9 0 1 1 4.3 2.5c-1 .6-1.5 1.2-1.5 2.3" fill="none" stroke="C" stroke-width="1.8" stroke-linecap="round"/><circle cx="12" cy="17.3" r="1.1" fill="C"/>)";
    case kLeftOn:
    case kLeftOff:
    case kRightOn:
    case kRightOff: {
      const bool on = command == kLeftOn || command == kRightOn;
      const char* letter = (command == kLeftOn || command == kLeftOff) ? "M8 6v12h6" : "M8 18V6h4.5a3 3 0 0 1 0 6H8m4 0l4 6";
      return QString(R"(<rect x="2.5" y="2.5" width="19" height="19" rx="4" fill="none" stroke="%1" stroke-width="1.6"/><path d="%2" fill="none" stroke="%1" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>)")
          .arg(on ? "A" : "C", letter);
    }
    case kPerformance:
      return R"(<path d="M13 2L5 13h6l-1 9 8-11h-6z" fill="A"/>)";
    case kTranscribe:
      return R"(<path d="M7 9a5 5 0 1 1 10 0c0 3-3 4-3 7a3 3 0 0 1-6 0" fill="none" stroke="A" stroke-width="1.8" stroke-linecap="round"/><path d="M10 9a2 2 0 1 1 4 0" fill="none" stroke="A" stroke-width="1.6"/>)";
    case kNoteFinderShow:
    case kNoteFinderHide:
      return QString(R"(<path d="M9 3v8a3 3 0 0 0 6 0V3" fill="none" stroke="%1" stroke-width="1.8"/><path d="M12 14v7" stroke="%1" stroke-width="1.8"/>)")
          .arg(command == kNoteFinderHide ? "A" : "C");
    case kPlay:
      return R"(<path d="M7 4.5v15l12.5-7.5z" fill="A" stroke="A" stroke-width="1.2" stroke-linejoin="round"/>)";
    case kPause:
      return R"(<rect x="6" y="5" width="4" height="14" rx="1" fill="C"/><rect x="14" y="5" width="4" height="14" rx="1" fill="C"/>)";
    case kStop:
      return R"(<rect x="6" y="6" width="12" height="12" rx="1.5" fill="C"/>)";
    case kRepeatOff:
    case kRepeatOn:
      return QString(R"(<path d="M5 11V9a3 3 0 0 1 3-3h10M15 3l3 3-3 3M19 13v2a3 3 0 0 1-3 3H6M9 21l-3-3 3-3" fill="none" stroke="%1" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)")
          .arg(command == kRepeatOn ? "A" : "C");
    case kPitchDirectionUp:
      return R"(<path d="M12 5v14M5 12h14" stroke="A" stroke-width="2.4" stroke-linecap="round"/>)";
    case kPitchDirectionDown:
      return R"(<path d="M5 12h14" stroke="W" stroke-width="2.4" stroke-linecap="round"/>)";
    case kLoopStart:
      return R"(<path d="M10 4H6v16h4" fill="none" stroke="A" stroke-width="2" stroke-linecap="round"/><path d="M13 12h6M16 9v6" stroke="C" stroke-width="1.6"/>)";
    case kLoopEnd:
      return R"(<path d="M14 4h4v16h-4" fill="none" stroke="W" stroke-width="2" stroke-linecap="round"/><path d="M5 12h6M8 9v6" stroke="C" stroke-width="1.6"/>)";
    case kJumpBack:
      return R"(<path d="M6 5v14" stroke="C" stroke-width="2" stroke-linecap="round"/><path d="M18 5v14l-10-7z" fill="C"/>)";
    case kJumpForward:
      return R"(<path d="M18 5v14" stroke="C" stroke-width="2" stroke-linecap="round"/><path d="M6 5v14l10-7z" fill="C"/>)";
    case kPreviousLoop:
      return R"(<path d="M12 5v14L3 12zM21 5v14l-9-7z" fill="C"/>)";
    case kNextLoop:
      return R"(<path d="M12 5v14l9-7zM3 5v14l9-7z" fill="C"/>)";
    case kEditLoop:
      return R"(<path d="M4 20l1.5-5L16 4.5l3.5 3.5L9 18.5z" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M4 20h16" stroke="A" stroke-width="1.6"/>)";
    case kDeleteLoop:
      return R"(<path d="M5 7h14M9 7V4h6v3M7 7l1 13h8l1-13" fill="none" stroke="C" stroke-width="1.8" stroke-linejoin="round"/><path d="M10 11v6M14 11v6" stroke="W" stroke-width="1.5"/>)";
    case kMinimize:
      return R"(<path d="M5 17h14" stroke="C" stroke-width="2"/>)";
    case kMaximize:
      return R"(<rect x="5" y="5" width="14" height="14" fill="none" stroke="C" stroke-width="2"/>)";
    case kRestore:
      return R"(<rect x="5" y="9" width="10" height="10" fill="none" stroke="C" stroke-width="2"/><path d="M9 9V5h10v10h-4" fill="none" stroke="C" stroke-width="2"/>)";
    case kClose:
      return R"(<path d="M6 6l12 12M18 6L6 18" stroke="C" stroke-width="2" stroke-linecap="round"/>)";
    default:
      return QString();
  }
}

QString Colourise(QString shape) {
  shape.replace("\"C\"", QString("\"%1\"").arg(kIconColour));
  shape.replace("\"A\"", QString("\"%1\"").arg(kAccent));
  shape.replace("\"W\"", QString("\"%1\"").arg(kWarm));
  return shape;
}

// Renders the SVG afresh at every size asked for, so icons stay sharp at any
// scale factor; disabled icons are drawn faded.
class SvgIconEngine : public QIconEngine {
 public:
  explicit SvgIconEngine(QByteArray svg) : svg_(std::move(svg)) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    QSvgRenderer renderer(svg_);
    painter->save();
    if (mode == QIcon::Disabled) painter->setOpacity(0.3);
    renderer.render(painter, QRectF(rect));
    painter->restore();
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    QPixmap pm = pixmap(size * scale, mode, state);
    pm.setDevicePixelRatio(scale);
    return pm;
  }
  QIconEngine* clone() const override { return new SvgIconEngine(svg_); }

 private:
  QByteArray svg_;
};

}  // namespace

QString CommandIconSvg(int command) {
  const QString shape = Shape(command);
  if (shape.isEmpty()) return shape;
  return QString(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">%1</svg>)")
      .arg(Colourise(shape));
}

QIcon CommandIcon(int command) {
  const QString svg = CommandIconSvg(command);
  if (svg.isEmpty()) return QIcon();
  return QIcon(new SvgIconEngine(svg.toUtf8()));
}

QIcon AppIcon() {
  const QString svg = QString(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><rect x="1" y="1" width="22" height="22" rx="5" fill="#1f2630"/><path d="M3 12h2l1.5-5 2 10 2-13 2 15 2-11 2 7 1.5-3H21" fill="none" stroke="%1" stroke-width="1.6" stroke-linejoin="round"/></svg>)")
                          .arg(kAccent);
  return QIcon(new SvgIconEngine(svg.toUtf8()));
}

QString SkinStyleSheet() {
  return QStringLiteral(R"(
QWidget { background: #1b2027; color: #dfe6ee; }
QWidget#TitleStrip { background: #12161b; border-bottom: 1px solid #2c343f; }
QLabel#TitleLine { font-size: 14pt; font-weight: 600; color: #eef2f6; }
QLabel#StatusLine { color: #9fb0c2; }
QWidget#Toolbar { background: #161b21; border-bottom: 1px solid #2c343f; }
QFrame#Panel { background: #20262e; border: 1px solid #2c343f; border-radius: 8px; }
QLabel#PanelTitle { color: #7f8fa3; font-size: 8pt; font-weight: 700; letter-spacing: 1px; background: transparent; }
QLabel { background: transparent; }
QLabel#Readout { background: #0e1216; color: #7ff0c8; border: 1px solid #2c343f; border-radius: 6px; padding: 2px 10px; }
QLabel#SmallReadout { color: #cfd8e3; background: transparent; }
QToolButton { background: #2a323d; border: 1px solid #34404d; border-radius: 6px; padding: 3px; color: #dfe6ee; }
QToolButton:hover { background: #35404d; border-color: #4fc3a1; }
QToolButton:pressed { background: #4fc3a1; color: #12161b; }
QToolButton:disabled { background: #222831; border-color: #2a313a; color: #56606c; }
QToolButton#Flat { background: transparent; border: 1px solid transparent; }
QToolButton#Flat:hover { background: #2a323d; border-color: #3a4654; }
QToolButton#Flat:disabled { background: transparent; }
QToolButton#Transport { background: #26303b; border-radius: 10px; }
QToolButton#Preset { font-size: 8pt; padding: 2px 4px; min-width: 30px; }
QSlider::groove:horizontal { height: 6px; background: #0e1216; border: 1px solid #2c343f; border-radius: 3px; }
QSlider::sub-page:horizontal { background: #2f7f68; border-radius: 3px; }
QSlider::handle:horizontal { width: 14px; margin: -6px 0; border-radius: 7px; background: #dfe6ee; border: 1px solid #4fc3a1; }
QSlider::groove:vertical { width: 6px; background: #0e1216; border: 1px solid #2c343f; border-radius: 3px; }
QSlider::add-page:vertical { background: #2f7f68; border-radius: 3px; }
QSlider::handle:vertical { height: 14px; margin: 0 -6px; border-radius: 7px; background: #dfe6ee; border: 1px solid #4fc3a1; }
QSlider:disabled { }
QMenu { background: #222a33; border: 1px solid #3a4654; padding: 4px; }
QMenu::item { padding: 5px 22px 5px 18px; border-radius: 4px; }
QMenu::item:selected { background: #35515a; }
QMenu::item:disabled { color: #66717d; }
QMenu::separator { height: 1px; background: #3a4654; margin: 4px 8px; }
QToolTip { background: #f4f6f8; color: #12161b; border: 1px solid #4fc3a1; padding: 3px; }
QLineEdit { background: #0e1216; border: 1px solid #3a4654; border-radius: 4px; padding: 3px 5px; selection-background-color: #2f7f68; }
QLineEdit:focus { border-color: #4fc3a1; }
QAbstractSpinBox { background: #0e1216; selection-background-color: #2f7f68; }
QPushButton { background: #2a323d; border: 1px solid #3a4654; border-radius: 5px; padding: 5px 14px; }
QPushButton:hover { border-color: #4fc3a1; }
QPushButton:default { border-color: #4fc3a1; }
QScrollBar:horizontal { background: #161b21; height: 12px; }
QScrollBar::handle:horizontal { background: #3a4654; border-radius: 5px; min-width: 20px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; }
)");
}

ReadoutLabel::ReadoutLabel(const QString& text, int point_size, const QString& widest,
                           QWidget* parent)
    : QLabel(text, parent) {
  setObjectName("Readout");
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSize(point_size);
  f.setBold(true);
  setFont(f);
  setAlignment(Qt::AlignCenter);
  setMinimumWidth(QFontMetrics(f).horizontalAdvance(widest) + 24);
}

}  // namespace qv3
