// Sizes of the program's layout, given in pixels of a 96 dpi screen. Qt's
// device pixel ratio takes care of high-density screens; these also follow a
// desktop that enlarges its text (a higher logical dpi).
#pragma once

#include <QSize>

class QWidget;

int Scaled(const QWidget* widget, int pixels);
QSize Scaled(const QWidget* widget, const QSize& pixels);
