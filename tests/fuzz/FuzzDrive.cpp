#include "FuzzDrive.h"

#include <unistd.h>

#include <fstream>

#include "platform/DiagnosticLog.h"
#include "platform/MessageBox.h"
#include "platform/Path.h"

namespace vaultline::fuzzing {
namespace {

void Write(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class QuietStatus : public IBackupRestoreStatus {
 public:
  bool OnTotalSize(int64_t) override { return false; }
  bool OnFile(int64_t, const wchar_t*) override { return false; }
  bool OnProgress(int64_t, int64_t) override { return false; }
  void OnFileDone() override {}
  void OnFinished(const wchar_t*) override {}
  void OnMessage(int, const wchar_t*) override {}
  bool OnSummary(unsigned, unsigned, int64_t) override { return false; }
  bool IsCancelled() override { return false; }
};

}  // namespace

FuzzDrive& FuzzDrive::Instance() {
  static FuzzDrive drive;
  return drive;
}

FuzzDrive::FuzzDrive() {
  const fs::path base =
      fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  root_ = base / ("vaultline-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(root_);
  drive_ = root_ / "drive";
  source_ = root_ / "src";
  fs::create_directories(drive_);
  platform::SetProgramFolderOverride(drive_.wstring());
  platform::SetMessageBoxHandler([](const std::wstring&, const std::wstring&) {});
  platform::SetDiagnosticSink([](std::wstring_view) {});
  Write(source_ / "small.txt", "a small file");
  std::string big(9000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 13);
  Write(source_ / "a" / "big.bin", big);
  Write(source_ / "a" / "deep" / "x.txt", "deep");
  fs::create_directories(source_ / "empty");
  {
    Engine engine(nullptr, drive_.wstring().c_str());
    engine.Initialize();
    const std::wstring source = source_.wstring();
    const wchar_t* contents[] = {source.c_str()};
    int selection = -1;
    engine.CreateProfile(L"sel", contents, 1, &selection);
    engine.BackUp(static_cast<unsigned>(selection));
    Write(source_ / "small.txt", "a small file, changed");
    Write(source_ / "b" / "new.txt", std::string(400, 'n'));
    engine.BackUp(static_cast<unsigned>(selection));
    StringList location = engine.GetProfileLocation(static_cast<unsigned>(selection));
    location_ = engine.GetListItem(location, 0);
    engine.ReleaseList(location);
  }
  for (const auto& entry : fs::recursive_directory_iterator(drive_)) {
    if (entry.is_regular_file())
      pristine_[fs::relative(entry.path(), drive_).string()] = Read(entry.path());
  }
}

fs::path FuzzDrive::StoreFile(const std::string& extension) const {
  return fs::path(location_ + std::wstring(extension.begin(), extension.end()));
}

fs::path FuzzDrive::StorageFile(const std::string& name) const {
  return drive_ / "BackupStorage" / name;
}

void FuzzDrive::Reset(const std::map<fs::path, std::string_view>& replaced,
                      const std::vector<fs::path>& removed) {
  std::error_code ignored;
  fs::remove_all(drive_, ignored);
  for (const auto& [path, bytes] : pristine_) Write(drive_ / path, bytes);
  for (const auto& [path, bytes] : replaced) Write(path, bytes);
  for (const fs::path& path : removed) fs::remove(path, ignored);
}

fs::path FuzzDrive::EmptyTarget() {
  const fs::path target = root_ / "restored";
  std::error_code ignored;
  fs::remove_all(target, ignored);
  fs::create_directories(target);
  return target;
}

std::unique_ptr<Engine> FuzzDrive::StartAndList(int* selection) {
  static QuietStatus status;
  auto engine = std::make_unique<Engine>(nullptr, drive_.wstring().c_str());
  engine->SetStatusCallback(&status);
  engine->Initialize();
  *selection = -1;
  StringList names = engine->GetProfileNames();
  for (int i = 0; i < engine->GetListCount(names); ++i) {
    if (std::wstring_view(engine->GetListItem(names, static_cast<unsigned>(i))) == L"sel")
      *selection = i;
  }
  engine->ReleaseList(names);
  if (*selection < 0) return engine;
  const unsigned index = static_cast<unsigned>(*selection);
  engine->RefreshSnapshots(index);
  StringList snapshots = engine->GetSnapshots(index);
  const int count = engine->GetListCount(snapshots);
  engine->ReleaseList(snapshots);
  for (int i = 0; i < count; ++i)
    engine->ReleaseList(engine->GetSnapshotContents(index, static_cast<unsigned>(i)));
  return engine;
}

std::vector<std::string_view> SplitInput(const uint8_t* data, size_t size, size_t parts) {
  std::vector<std::string_view> split;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (size_t i = 0; i + 1 < parts; ++i) {
    size_t length = 0;
    if (rest.size() >= 4) {
      for (int b = 3; b >= 0; --b) length = length * 256 + static_cast<uint8_t>(rest[b]);
      rest.remove_prefix(4);
    }
    length = std::min(length, rest.size());
    split.push_back(rest.substr(0, length));
    rest.remove_prefix(length);
  }
  split.push_back(rest);
  return split;
}

}  // namespace vaultline::fuzzing
