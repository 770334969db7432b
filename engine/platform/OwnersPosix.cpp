#include <unistd.h>

#include <fstream>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/OsPath.h"
#include "platform/Owners.h"
#include "platform/Text.h"

namespace vaultline::platform {

namespace {

// The computer's own account files, read once. The system's lookup
// functions would load its name services into the command line, which is
// one static program that runs on any system: names come from the files
// every system has.
class AccountFile {
 public:
  explicit AccountFile(const char* path) : path_(path) {}

  std::wstring NameOf(uint32_t id) {
    Load();
    const auto found = names_.find(id);
    return found == names_.end() ? std::wstring() : found->second;
  }
  bool IdOf(std::wstring_view name, uint32_t* id) {
    Load();
    const auto found = ids_.find(std::wstring(name));
    if (found == ids_.end()) return false;
    *id = found->second;
    return true;
  }

 private:
  // Lines "name:password:id:...".
  void Load() {
    std::call_once(loaded_, [this] {
      std::ifstream in(path_);
      std::string line;
      while (std::getline(in, line)) {
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos || first == 0) continue;
        const size_t end = line.find(':', second + 1);
        const std::string number = line.substr(second + 1, end - second - 1);
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) continue;
        const auto id = static_cast<uint32_t>(std::stoul(number));
        const std::wstring name = DecodeName(line.substr(0, first));
        names_.emplace(id, name);  // the first line of an id names it
        ids_.emplace(name, id);
      }
    });
  }

  const char* path_;
  std::once_flag loaded_;
  std::unordered_map<uint32_t, std::wstring> names_;
  std::unordered_map<std::wstring, uint32_t> ids_;
};

AccountFile& Users() {
  static AccountFile file("/etc/passwd");
  return file;
}

AccountFile& Groups() {
  static AccountFile file("/etc/group");
  return file;
}

}  // namespace

std::wstring OwnerName(uint32_t id) {
  return Users().NameOf(id);
}

std::wstring GroupName(uint32_t id) {
  return Groups().NameOf(id);
}

bool OwnerIdOf(std::wstring_view name, uint32_t* id) {
  return Users().IdOf(name, id);
}

bool GroupIdOf(std::wstring_view name, uint32_t* id) {
  return Groups().IdOf(name, id);
}

bool IsAdministrator() {
  return ::geteuid() == 0;
}

uint32_t ProcessOwnerId() {
  return ::geteuid();
}

uint32_t ProcessGroupId() {
  return ::getegid();
}

bool SetOwner(std::wstring_view path, uint32_t owner, uint32_t group) {
  return ::lchown(OsPath(path).c_str(), owner, group) == 0;
}

bool SetOpenFileOwner(int fd, uint32_t owner, uint32_t group) {
  return ::fchown(fd, owner, group) == 0;
}

}  // namespace vaultline::platform
