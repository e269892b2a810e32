#include "ui/balloon_hints.h"

#include <QApplication>
#include <QProxyStyle>

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
  App.setStyleSheet(App.styleSheet() +
                    QStringLiteral("QToolTip { color: palette(tooltip-text); background-color: palette(tooltip-base);"
                                   " border: 1px solid palette(dark); border-radius: 6px; padding: 2px 4px;"
                                   " qproperty-alignment: 'AlignLeft | AlignVCenter'; }"));
}

}  // namespace hexloader
