// A private folder (mode 0700, a fresh random name) below the system's
// temporary folder, removed with its contents when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace vaultline::cli {

class TemporaryFolder {
 public:
  // Throws CommandError when no folder can be made.
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the engine takes it.
  std::wstring wide() const;
  // Removes the folder with its contents now; the destructor then does nothing.
  void Remove();

 private:
  std::filesystem::path path_;
};

}  // namespace vaultline::cli
