#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "TestDrive.h"

namespace vaultline::testing {
namespace {

// Names exported by libvaultline.so, as `nm -D --defined-only -C` prints them.
std::vector<std::string> ExportedNames() {
  fs::path listing = NewTemporaryFolder() / "symbols.txt";
  std::string command = "nm -D --defined-only -C '" + std::string(VAULTLINE_LIBRARY_PATH) +
                        "' > '" + listing.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::istringstream lines(ReadBytes(listing));
  fs::remove_all(listing.parent_path());
  std::vector<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    // "<address> <type> <name>"; the name may hold spaces.
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type;
    std::getline(fields >> std::ws, name);
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

// Every function the library exports, by name.
const std::set<std::string>& BoundaryFunctions() {
  static const std::set<std::string> functions = {"InitializeT",
                                                  "Cleanup",
                                                  "CheckCreatePath",
                                                  "GetDirInfo",
                                                  "GetFileSize",
                                                  "RemoveFolder",
                                                  "SetFileProtection",
                                                  "RemoveFileProtection",
                                                  "Ltrim",
                                                  "Rtrim",
                                                  "DoubleQuotes",
                                                  "RemoveDoubleQuotes",
                                                  "GetLineParameters",
                                                  "SetRestoreConflict",
                                                  "GetSnapshotItemDetails",
                                                  "GetSnapshotFigures",
                                                  "OpenSnapshotFiles",
                                                  "CloseSnapshotFiles",
                                                  "ListStoredItems",
                                                  "FindItemVersions",
                                                  "DiffSnapshots",
                                                  "DiffWithFolder",
                                                  "SetProfileSource",
                                                  "GetDriveSetting",
                                                  "SetDriveSetting",
                                                  "GetKeepRules",
                                                  "SetKeepRules",
                                                  "GetSnapshotsToForgetAfterBackup",
                                                  "CompactProfileWhenWorthIt",
                                                  "AppendForgetLog",
                                                  "ReadForgetLog",
                                                  "vaultline::platform::FullPath",
                                                  "vaultline::platform::ProgramFolder",
                                                  "vaultline::platform::SetProgramFolderOverride",
                                                  "vaultline::platform::DeviceRootOf",
                                                  "vaultline::platform::DiskSpace",
                                                  "vaultline::platform::CurrentDirectory",
                                                  "vaultline::platform::PathExists",
                                                  "vaultline::platform::IsFolder",
                                                  "vaultline::platform::DecodeName",
                                                  "vaultline::platform::EncodeName",
                                                  "vaultline::platform::AnsiToWide",
                                                  "vaultline::platform::ToDisplayUtf8",
                                                  "vaultline::platform::FormatWide",
                                                  "vaultline::platform::FormatMessageAlloc",
                                                  "vaultline::platform::ReleaseMessage",
                                                  "vaultline::platform::HighestPositionalInsert",
                                                  "vaultline::platform::SystemErrorText",
                                                  "vaultline::platform::CurrentTime",
                                                  "vaultline::platform::ToLocalTime",
                                                  "vaultline::platform::CtimeText",
                                                  "vaultline::platform::Iso8601Text",
                                                  "vaultline::platform::TickCount",
                                                  "vaultline::platform::SetMessageBoxHandler",
                                                  "vaultline::platform::SetDiagnosticSink"};
  return functions;
}

// The function's name without its parameters and the ABI tag of functions
// returning a string ("F[abi:cxx11](int)" is "F").
std::string FunctionName(const std::string& name) {
  std::string function = name.substr(0, name.find('('));
  const size_t tag = function.find("[abi:");
  return tag == std::string::npos ? function : function.substr(0, tag);
}

bool IsBoundaryName(const std::string& name) {
  const std::set<std::string>& functions = BoundaryFunctions();
  for (const char* boundaryClass :
       {"IVaultline", "IBackupRestoreStatus", "IResourceProvider", "ISnapshotFiles"}) {
    std::string owner = boundaryClass;
    if (name.rfind(owner + "::", 0) == 0) return true;
    for (const char* kind : {"typeinfo for ", "typeinfo name for ", "vtable for "}) {
      if (name == kind + owner) return true;
    }
  }
  return name.find('(') != std::string::npos && functions.count(FunctionName(name)) > 0;
}

// The interfaces made only of pure operations have no key function, so their
// type information is exported only where the compiler chose to emit it; the
// engine's own interface always is.
TEST(ExportsTest, LibraryExportsExactlyTheBoundary) {
  std::set<std::string> exported;
  for (const std::string& name : ExportedNames()) {
    EXPECT_TRUE(IsBoundaryName(name)) << "unexpected export: " << name;
    exported.insert(name.find('(') != std::string::npos ? FunctionName(name) : name);
  }
  for (const std::string& required : BoundaryFunctions()) {
    EXPECT_TRUE(exported.count(required)) << "missing export: " << required;
  }
  for (const char* required : {"vtable for IVaultline", "typeinfo for IVaultline"}) {
    EXPECT_TRUE(exported.count(required)) << "missing export: " << required;
  }
}

}  // namespace
}  // namespace vaultline::testing
