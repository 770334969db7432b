#include "CollectedMessages.h"

void CollectedMessages::OnMessage(int level, const wchar_t* text) {
  // Info and trace lines are for the progress window's details only.
  if (level != kMessageError && level != kMessageWarning) return;
  lines_.append(QString::fromWCharArray(text != nullptr ? text : L""));
}
