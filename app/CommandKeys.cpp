#include "CommandKeys.h"

#include "resources/ResourceIds.h"

QKeySequence CommandKey(unsigned command, const QKeySequence& shown) {
  // The help's menu text names no key; F1 is where every desktop looks for it.
  if (command == marrowby::cmd::kHelpContents && shown.isEmpty()) {
    return QKeySequence(QKeySequence::HelpContents);
  }
  return shown;
}
