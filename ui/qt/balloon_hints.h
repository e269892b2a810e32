#pragma once
class QApplication;

namespace hexloader {

// Shows the hints as balloons: rounded, left-aligned text on the info background, after 500 ms.
void InstallBalloonHints(QApplication& App);

}  // namespace hexloader
