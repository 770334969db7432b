// Fuzz targets of the container reader and the key-file reader: the input
// is the file, opened with a fixed key (the container's first input byte
// chooses sealed or checksummed frames), read whole, appended to and cut.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FuzzDrive.h"
#include "platform/Text.h"
#include "seal/KeyFile.h"
#include "seal/SealKeys.h"
#include "seal/SealedStream.h"

namespace vaultline::fuzzing {
namespace {

using namespace seal;

// The scratch folder of this process, removed at exit.
const fs::path& Scratch() {
  struct Folder {
    fs::path path;
    Folder() {
      const fs::path base =
          fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
      path = base / ("vaultline-fuzz-seal-" + std::to_string(::getpid()));
      fs::create_directories(path);
    }
    ~Folder() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  };
  static Folder folder;
  return folder.path;
}

std::wstring Put(const std::string& name, std::string_view bytes) {
  const fs::path path = Scratch() / name;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return platform::DecodeName(path.native());
}

const SealKeys& Keys() {
  static const SealKeys keys([] {
    SecretBytes master(SealKeys::kMasterKeySize);
    for (size_t i = 0; i < master.size(); ++i) master.data()[i] = static_cast<uint8_t>(i + 1);
    return master;
  }());
  return keys;
}

FrameCodec Codec(bool checksummed) {
  FileIdentity identity;
  identity.kind = RecordFileKind::kDirectory;
  return checksummed ? FrameCodec::Checksummed(identity, 1)
                     : FrameCodec::Sealed(Keys(), identity, 1);
}

constexpr KdfCost kSeedCost{1, 8192};
constexpr std::string_view kPassword = "fuzz";

}  // namespace

int FuzzSealedContainer(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool checksummed = (data[0] & 1) != 0;
  const std::wstring path =
      Put("file.dir.vlc", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  int error = 0;
  auto stream = SealedStream::Open(path, Codec(checksummed), true, &error);
  if (!stream) return 0;
  std::vector<uint8_t> buffer(4096);
  for (int64_t at = 0; at < stream->LogicalLength(); at += static_cast<int64_t>(buffer.size())) {
    stream->ReadAt(at, buffer.data(), buffer.size());
  }
  stream->CheckAll();
  for (const auto& range : stream->Damage()) stream->Describe(range);
  const int64_t before = stream->LogicalLength();
  stream->Append(buffer);
  stream->CutBack(before);
  return 0;
}

int FuzzKeyFile(const uint8_t* data, size_t size) {
  const std::wstring path =
      Put("file.key", std::string_view(reinterpret_cast<const char*>(data), size));
  UnlockedKey key;
  KeyFile::Open(path, SecretBytes::FromText(kPassword), &key);
  return 0;
}

std::map<std::string, std::string> SealSeeds() {
  std::map<std::string, std::string> seeds;
  for (const bool checksummed : {false, true}) {
    const std::wstring path = Put("seed.vlc", "");
    int error = 0;
    {
      auto stream = SealedStream::Open(path, Codec(checksummed), true, &error);
      std::vector<uint8_t> batch(3000);
      for (size_t i = 0; i < batch.size(); ++i) batch[i] = static_cast<uint8_t>(i % 251);
      for (int frame = 0; frame < 3; ++frame) {
        stream->Append(std::span<const uint8_t>(batch).first(1000 * (frame + 1)));
      }
    }
    std::ifstream in(Scratch() / "seed.vlc", std::ios::binary);
    seeds[checksummed ? "container/checksummed" : "container/sealed"] =
        std::string(1, checksummed ? '\1' : '\0') +
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::remove(Scratch() / "seed.key");
  UnlockedKey key;
  KeyFile::Create(platform::DecodeName((Scratch() / "seed.key").native()),
                  SecretBytes::FromText(kPassword), kSeedCost, &key);
  std::ifstream in(Scratch() / "seed.key", std::ios::binary);
  seeds["keyfile/key"] =
      std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return seeds;
}

}  // namespace vaultline::fuzzing
