// A fresh folder below the system's temporary folder, removed with all its
// contents (read-only entries included) when the test ends.
#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "platform/Text.h"

namespace vaultline::platform::testing {

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    for (;;) {
      path_ = std::filesystem::temp_directory_path() /
              ("platform-test-" + std::to_string(random()) + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      std::filesystem::permissions(
          entry.path(), std::filesystem::perms::owner_write,
          std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The wide path of `name` inside the folder (the folder itself for "").
  std::wstring Wide(const std::string& name = "") const {
    return DecodeName((name.empty() ? path_ : path_ / name).native());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vaultline::platform::testing
