#include "linuxdesktop/SleepInhibitor.h"

namespace linuxdesktop {

SleepInhibitor::SleepInhibitor(const std::string& who, const std::string& why) {
  BusConnection bus(Bus::kSystem);
  if (!bus.connected()) return;
  CallResult result =
      bus.Call({"org.freedesktop.login1", "/org/freedesktop/login1",
                "org.freedesktop.login1.Manager", "Inhibit"},
               BusArguments().String("sleep").String(who).String(why).String("block"));
  const std::optional<uint32_t> index = result.reply.FirstUint32();
  if (!result.succeeded() || result.reply.signature != "h" || !index ||
      *index >= result.descriptors.size()) {
    return;
  }
  lock_ = std::move(result.descriptors[*index]);
}

}  // namespace linuxdesktop
