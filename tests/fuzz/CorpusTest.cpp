// Feeds every committed corpus file through every fuzz target's entry
// function, so that the normal build (no libFuzzer) runs them all. With
// "--write-seeds" it writes seeds from the fuzz drive into the corpora.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include "FuzzDrive.h"

namespace vaultline::fuzzing {
namespace {

using Entry = int (*)(const uint8_t*, size_t);
const std::vector<std::pair<std::string, Entry>> kTargets = {
    {"configuration", FuzzConfiguration},
    {"snapshot", FuzzSnapshotFile},
    {"directory", FuzzDirectoryFile},
    {"content", FuzzContentRestore},
    {"index", FuzzIndexRebuild},
    {"container", FuzzSealedContainer},
    {"keyfile", FuzzKeyFile},
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzCorpus, EveryFileThroughEveryTarget) {
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(FUZZ_CORPUS_DIR)) {
    if (!entry.is_regular_file()) continue;
    const std::string bytes = Read(entry.path());
    ++files;
    for (const auto& [name, run] : kTargets) {
      SCOPED_TRACE(name + " <- " + entry.path().string());
      EXPECT_EQ(run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    }
  }
  std::cout << files << " corpus files through " << kTargets.size() << " targets\n";
  EXPECT_GT(files, 0u);
}

std::string Prefixed(const std::string& first, const std::string& second) {
  std::string bytes;
  for (int b = 0; b < 4; ++b) bytes += static_cast<char>((first.size() >> (8 * b)) & 0xff);
  return bytes + first + second;
}

void WriteSeeds(const fs::path& corpus) {
  FuzzDrive& drive = FuzzDrive::Instance();
  auto file = [&](const fs::path& path) {
    return drive.Pristine().at(
        fs::relative(path, drive.StorageFile("").parent_path().parent_path()).string());
  };
  std::map<std::string, std::string> seeds = {
      {"configuration/config",
       Prefixed(file(drive.StorageFile("config.ini")), "TraceLevel=1\r\nShowTimeTick=1\r\n")},
      {"snapshot/snp", file(drive.StoreFile(".snp"))},
      {"directory/dir", file(drive.StoreFile(".dir"))},
      {"content/fp-and-data", Prefixed(file(drive.StoreFile(".fp")), file(drive.StoreFile("")))},
      {"index/data", file(drive.StoreFile(""))},
  };
  seeds.merge(SealSeeds());
  for (const auto& [name, bytes] : seeds) {
    fs::create_directories((corpus / name).parent_path());
    std::ofstream(corpus / name, std::ios::binary) << bytes;
  }
}

}  // namespace
}  // namespace vaultline::fuzzing

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
    vaultline::fuzzing::WriteSeeds(argv[2]);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
