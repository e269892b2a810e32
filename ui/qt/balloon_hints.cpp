#include "ui/qt/balloon_hints.h"

#include <QApplication>
#include <QProxyStyle>
#include <QToolTip>

namespace hexloader {
namespace {

class TBalloonHintStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                QStyleHintReturn* Return) const override {
    if (Hint == SH_ToolTip_WakeUpDelay) return 500;
    if (Hint == SH_ToolTipLabel_Opacity) return 255;
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
  }
};

}  // namespace

void InstallBalloonHints(QApplication& App) {
  App.setStyle(new TBalloonHintStyle(App.style()->name()));  // the application owns the style
  // The colours go in by value: "palette(tooltip-base)" in the style sheet came out as the window's
  // grey, and a hint on the window's own colour does not stand out from the window.
  const QPalette hints = QToolTip::palette();
  App.setStyleSheet(App.styleSheet() + QStringLiteral("QToolTip { color: %1; background-color: %2;"
                                                      " border: 1px solid %3; border-radius: 6px; padding: 2px 4px;"
                                                      " qproperty-alignment: 'AlignLeft | AlignVCenter'; }")
                                           .arg(hints.color(QPalette::ToolTipText).name(),
                                                hints.color(QPalette::ToolTipBase).name(),
                                                App.palette().color(QPalette::Dark).name()));
}

}  // namespace hexloader
