#include "TemporaryFolder.h"

#include <random>

#include "CommandError.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

TemporaryFolder::TemporaryFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error) throw CommandError{kExitFailure, L"there is no folder for temporary files"};
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = base / ("vaultline-" + std::to_string(random()));
    // create_directory is false for a name that exists: ours is always new.
    if (fs::create_directory(candidate, error)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
      if (!error) {
        path_ = std::move(candidate);
        return;
      }
      fs::remove(candidate, error);
    }
  }
  throw CommandError{kExitFailure, L"no temporary folder could be created"};
}

TemporaryFolder::~TemporaryFolder() {
  Remove();
}

void TemporaryFolder::Remove() {
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

std::wstring TemporaryFolder::wide() const {
  return platform::DecodeName(path_.native());
}

}  // namespace vaultline::cli
