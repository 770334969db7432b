#include "CommandKeys.h"

#include <QMetaEnum>

#include "resources/ResourceIds.h"

QKeySequence::StandardKey StandardMeaning(unsigned command) {
  return command == marrowby::cmd::kNewSelection ? QKeySequence::New : QKeySequence::UnknownKey;
}

QList<QKeySequence> StandardKeys() {
  QList<QKeySequence> keys = {
      QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::CTRL | Qt::Key_D),
      QKeySequence(Qt::CTRL | Qt::Key_E), QKeySequence(Qt::CTRL | Qt::Key_Q)};
  const QMetaEnum standard = QMetaEnum::fromType<QKeySequence::StandardKey>();
  for (int i = 0; i < standard.keyCount(); ++i) {
    keys += QKeySequence::keyBindings(static_cast<QKeySequence::StandardKey>(standard.value(i)));
  }
  return keys;
}

bool ClashesWithStandardKey(const QKeySequence& key, QKeySequence::StandardKey meaning) {
  if (key.isEmpty()) return false;
  if (meaning != QKeySequence::UnknownKey && QKeySequence::keyBindings(meaning).contains(key)) {
    return false;
  }
  return StandardKeys().contains(key);
}

QKeySequence BoundKey(unsigned command, const QKeySequence& shown) {
  return ClashesWithStandardKey(shown, StandardMeaning(command)) ? QKeySequence() : shown;
}
