// A program started to outlive this one: in a session of its own, in the
// root folder, with nothing open of this process (no file of the drive it
// may be waiting to unmount), its output discarded.
#pragma once

#include <string>
#include <vector>

namespace linuxdesktop {

// argv[0] is looked up in PATH when it has no separator. False when it could
// not be started.
bool StartDetached(const std::vector<std::string>& argv);

}  // namespace linuxdesktop
