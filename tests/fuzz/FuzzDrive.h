// A small real drive for the fuzz targets: one selection with two snapshots,
// made once per process in a private temporary folder. Each input puts the
// drive back as it was made, replaces some of its files with fuzzed bytes
// and runs the engine's readers over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/Engine.h"

namespace vaultline::fuzzing {

namespace fs = std::filesystem;

class FuzzDrive {
 public:
  static FuzzDrive& Instance();

  // The selection's store file with `extension` ("", ".ind", ".fp", ".dir",
  // ".snp"), or a file in BackupStorage ("config.ini").
  fs::path StoreFile(const std::string& extension) const;
  fs::path StorageFile(const std::string& name) const;
  // The drive as made, with `replaced` files (path -> bytes) and `removed`
  // files put in.
  void Reset(const std::map<fs::path, std::string_view>& replaced,
             const std::vector<fs::path>& removed = {});
  // A fresh folder to restore into, emptied.
  fs::path EmptyTarget();
  // A started engine on the drive; every listed snapshot's contents read.
  std::unique_ptr<Engine> StartAndList(int* selection);

  // The drive's files as made (relative path -> bytes): seeds for corpora.
  const std::map<std::string, std::string>& Pristine() const { return pristine_; }

 private:
  FuzzDrive();
  fs::path root_, drive_, source_;
  std::wstring location_;
  std::map<std::string, std::string> pristine_;
};

// Splits fuzz input into parts at a four-byte little-endian length prefix per
// part (the last part takes the rest).
std::vector<std::string_view> SplitInput(const uint8_t* data, size_t size, size_t parts);

// The entry functions: one per target, shared by libFuzzer and the corpus test.
int FuzzConfiguration(const uint8_t* data, size_t size);
int FuzzSnapshotFile(const uint8_t* data, size_t size);
int FuzzDirectoryFile(const uint8_t* data, size_t size);
int FuzzContentRestore(const uint8_t* data, size_t size);
int FuzzIndexRebuild(const uint8_t* data, size_t size);
int FuzzSealedContainer(const uint8_t* data, size_t size);
int FuzzKeyFile(const uint8_t* data, size_t size);
// Seeds of the last two (corpus path -> bytes).
std::map<std::string, std::string> SealSeeds();

}  // namespace vaultline::fuzzing
