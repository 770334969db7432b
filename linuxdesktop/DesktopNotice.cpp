#include "linuxdesktop/DesktopNotice.h"

#include "linuxdesktop/BusConnection.h"

namespace linuxdesktop {

bool ShowDesktopNotice(const std::string& program, const std::string& summary,
                       const std::string& body) {
  BusConnection bus(Bus::kSession);
  if (!bus.connected()) return false;
  constexpr int32_t kServerDefaultTimeout = -1;
  const CallResult result =
      bus.Call({"org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                "org.freedesktop.Notifications", "Notify"},
               BusArguments()
                   .String(program)
                   .Uint32(0)  // a new notice, replacing none
                   .String("drive-removable-media")
                   .String(summary)
                   .String(body)
                   .StringArray({})
                   .EmptyDictionary()
                   .Int32(kServerDefaultTimeout));
  return result.succeeded();
}

}  // namespace linuxdesktop
