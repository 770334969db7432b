// What each fuzz target puts on the drive and which readers it drives.
#include "FuzzDrive.h"

namespace vaultline::fuzzing {
namespace {

void RestoreAll(Engine& engine, int selection) {
  if (selection < 0) return;
  const unsigned index = static_cast<unsigned>(selection);
  StringList snapshots = engine.GetSnapshots(index);
  const int count = engine.GetListCount(snapshots);
  engine.ReleaseList(snapshots);
  for (int i = 0; i < count; ++i) {
    const fs::path target = FuzzDrive::Instance().EmptyTarget();
    engine.Restore(index, i, L"", target.wstring().c_str());
  }
}

}  // namespace

int FuzzConfiguration(const uint8_t* data, size_t size) {
  FuzzDrive& drive = FuzzDrive::Instance();
  const auto parts = SplitInput(data, size, 2);
  drive.Reset({{drive.StorageFile("config.ini"), parts[0]},
               {drive.StorageFile("diagnostics.ini"), parts[1]}});
  int selection = -1;
  drive.StartAndList(&selection);
  return 0;
}

int FuzzSnapshotFile(const uint8_t* data, size_t size) {
  FuzzDrive& drive = FuzzDrive::Instance();
  drive.Reset({{drive.StoreFile(".snp"), {reinterpret_cast<const char*>(data), size}}});
  int selection = -1;
  auto engine = drive.StartAndList(&selection);
  RestoreAll(*engine, selection);
  return 0;
}

int FuzzDirectoryFile(const uint8_t* data, size_t size) {
  FuzzDrive& drive = FuzzDrive::Instance();
  drive.Reset({{drive.StoreFile(".dir"), {reinterpret_cast<const char*>(data), size}}});
  int selection = -1;
  auto engine = drive.StartAndList(&selection);
  // A backup builds the key index from the newest snapshot's records.
  if (selection >= 0) engine->BackUp(static_cast<unsigned>(selection));
  return 0;
}

int FuzzContentRestore(const uint8_t* data, size_t size) {
  FuzzDrive& drive = FuzzDrive::Instance();
  const auto parts = SplitInput(data, size, 2);
  drive.Reset({{drive.StoreFile(".fp"), parts[0]}, {drive.StoreFile(""), parts[1]}},
              {drive.StoreFile(".ind")});
  int selection = -1;
  auto engine = drive.StartAndList(&selection);
  RestoreAll(*engine, selection);
  return 0;
}

int FuzzIndexRebuild(const uint8_t* data, size_t size) {
  FuzzDrive& drive = FuzzDrive::Instance();
  drive.Reset({{drive.StoreFile(""), {reinterpret_cast<const char*>(data), size}}},
              {drive.StoreFile(".ind")});
  int selection = -1;
  auto engine = drive.StartAndList(&selection);
  // A backup needs the index and rebuilds it from the data file.
  if (selection >= 0) engine->BackUp(static_cast<unsigned>(selection));
  return 0;
}

}  // namespace vaultline::fuzzing
