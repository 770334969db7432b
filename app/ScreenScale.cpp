#include "ScreenScale.h"

#include <QWidget>
#include <cmath>

namespace {
constexpr double kBaseDpi = 96.0;
}

int Scaled(const QWidget* widget, int pixels) {
  const double dpi = widget != nullptr ? widget->logicalDpiX() : kBaseDpi;
  // Never smaller than designed: a low-dpi screen still needs room for text.
  return static_cast<int>(std::lround(pixels * std::max(1.0, dpi / kBaseDpi)));
}

QSize Scaled(const QWidget* widget, const QSize& pixels) {
  return QSize(Scaled(widget, pixels.width()), Scaled(widget, pixels.height()));
}
