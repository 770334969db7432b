// A one-line label that ends in "..." where its text does not fit, rather
// than being cut off mid-letter or pushing its neighbours away. text() stays
// whole (for the tooltip and for tests).
#pragma once

#include <QLabel>

class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
