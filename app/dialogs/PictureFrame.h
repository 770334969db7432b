// The picture of a dialog (bitmaps 143 and 165), centred in its frame.
#pragma once

#include <QLabel>

class PictureFrame : public QLabel {
  Q_OBJECT

 public:
  enum class Picture { kSelection, kWelcome };
  explicit PictureFrame(Picture picture, QWidget* parent = nullptr);
};
