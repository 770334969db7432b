// A message in the desktop's notification area, through the notification
// service on the session bus. False when there is no bus or no service.
#pragma once

#include <string>

namespace linuxdesktop {

bool ShowDesktopNotice(const std::string& program, const std::string& summary,
                       const std::string& body);

}  // namespace linuxdesktop
