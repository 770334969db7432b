#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
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

TEST(ExportsTest, LibraryExportsExactlyTheBoundary) {
  const std::regex allowed(
      "(InitializeT|Cleanup|CheckCreatePath|GetDirInfo|GetFileSize|RemoveFolder|"
      "SetFileProtection|RemoveFileProtection|Ltrim|Rtrim|DoubleQuotes|RemoveDoubleQuotes|"
      "GetLineParameters)\\(.*\\)|"
      "(IVaultline|IBackupRestoreStatus|IResourceProvider)::.*|"
      "(typeinfo|typeinfo name|vtable) for (IVaultline|IBackupRestoreStatus|IResourceProvider)");
  std::set<std::string> functions;
  for (const std::string& name : ExportedNames()) {
    EXPECT_TRUE(std::regex_match(name, allowed)) << "unexpected export: " << name;
    functions.insert(name.substr(0, name.find('(')));
  }
  for (const char* required :
       {"InitializeT", "Cleanup", "CheckCreatePath", "GetDirInfo", "GetFileSize", "RemoveFolder",
        "SetFileProtection", "RemoveFileProtection", "Ltrim", "Rtrim", "DoubleQuotes",
        "RemoveDoubleQuotes", "GetLineParameters", "vtable for IVaultline",
        "typeinfo for IBackupRestoreStatus", "typeinfo for IResourceProvider"}) {
    EXPECT_TRUE(functions.count(required)) << "missing export: " << required;
  }
}

}  // namespace
}  // namespace vaultline::testing
