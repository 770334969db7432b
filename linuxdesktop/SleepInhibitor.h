// Keeps the computer from suspending while it lives: a "block" lock on
// sleep from the login manager, held as the descriptor it hands out and
// given back when that is closed (also when the process ends). Without a
// system bus or a login manager nothing is held and nothing is said.
#pragma once

#include <string>

#include "linuxdesktop/BusConnection.h"

namespace linuxdesktop {

class SleepInhibitor {
 public:
  // `who` and `why` are what the desktop shows of the lock.
  SleepInhibitor(const std::string& who, const std::string& why);

  bool held() const { return lock_.valid(); }
  // Gives the lock back before the end of the object's life.
  void Release() { lock_ = OwnedDescriptor(); }

 private:
  OwnedDescriptor lock_;
};

}  // namespace linuxdesktop
