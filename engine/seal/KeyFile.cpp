#include "seal/KeyFile.h"

#include <sodium.h>

#include <cerrno>
#include <cstring>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "seal/SealKeys.h"
#include "seal/Sodium.h"
#include "util/ByteOrder.h"
#include "util/Crc32.h"

namespace vaultline::seal {
namespace {

constexpr uint32_t kMagic = 0x594B4C56;  // "VLKY"
constexpr uint16_t kVersion = 1;
constexpr size_t kSaltOffset = 24;
constexpr size_t kStoreOffset = 40;
constexpr size_t kNonceOffset = 56;
constexpr size_t kWrappedOffset = 80;
constexpr size_t kWrappedSize =
    SealKeys::kMasterKeySize + crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr size_t kCrcOffset = kWrappedOffset + kWrappedSize;
static_assert(kCrcOffset + 4 == KeyFile::kSize);
static_assert(crypto_pwhash_SALTBYTES == 16);
// Bounds on a key file's costs, so that a hostile file cannot make the
// program allocate or compute without end.
constexpr uint64_t kMaxOperations = 16;
constexpr uint64_t kMaxMemory = uint64_t{1} << 30;

bool CostInBounds(const KdfCost& cost) {
  return cost.operations >= crypto_pwhash_OPSLIMIT_MIN && cost.operations <= kMaxOperations &&
         cost.memory >= crypto_pwhash_MEMLIMIT_MIN && cost.memory <= kMaxMemory;
}

// The key that wraps the master key, stretched from the password.
SecretBytes Stretch(const SecretBytes& password, const uint8_t* salt, const KdfCost& cost) {
  SecretBytes key(crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
  if (key.empty()) return key;
  if (crypto_pwhash(key.data(), key.size(), reinterpret_cast<const char*>(password.data()),
                    password.size(), salt, cost.operations, static_cast<size_t>(cost.memory),
                    crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return SecretBytes();
  }
  return key;
}

// The file's bytes for `key` under `password`.
KeyFileStatus Wrap(const UnlockedKey& key, const SecretBytes& password, const KdfCost& cost,
                   uint8_t* bytes) {
  std::memset(bytes, 0, KeyFile::kSize);
  StoreLe32(kMagic, bytes);
  StoreLe16(kVersion, bytes + 4);
  StoreLe16(crypto_pwhash_ALG_ARGON2ID13, bytes + 6);
  StoreLe64(cost.operations, bytes + 8);
  StoreLe64(cost.memory, bytes + 16);
  randombytes_buf(bytes + kSaltOffset, crypto_pwhash_SALTBYTES);
  std::memcpy(bytes + kStoreOffset, key.store.data(), key.store.size());
  randombytes_buf(bytes + kNonceOffset, crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
  const SecretBytes wrapping = Stretch(password, bytes + kSaltOffset, cost);
  if (wrapping.empty()) return KeyFileStatus::kFailed;
  unsigned long long wrappedLength = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(
      bytes + kWrappedOffset, &wrappedLength, key.master.data(), key.master.size(), bytes,
      kWrappedOffset, nullptr, bytes + kNonceOffset, wrapping.data());
  StoreLe32(Crc32(bytes, kCrcOffset), bytes + kCrcOffset);
  return KeyFileStatus::kOk;
}

KeyFileStatus Unwrap(const uint8_t* bytes, const SecretBytes& password, UnlockedKey* key) {
  if (LoadLe32(bytes + kCrcOffset) != Crc32(bytes, kCrcOffset)) return KeyFileStatus::kDamaged;
  const KdfCost cost{LoadLe64(bytes + 8), LoadLe64(bytes + 16)};
  if (LoadLe32(bytes) != kMagic || LoadLe16(bytes + 4) != kVersion ||
      LoadLe16(bytes + 6) != crypto_pwhash_ALG_ARGON2ID13 || !CostInBounds(cost)) {
    return KeyFileStatus::kUnsupported;
  }
  const SecretBytes wrapping = Stretch(password, bytes + kSaltOffset, cost);
  SecretBytes master(SealKeys::kMasterKeySize);
  if (wrapping.empty() || master.empty()) return KeyFileStatus::kFailed;
  unsigned long long masterLength = 0;
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(
          master.data(), &masterLength, nullptr, bytes + kWrappedOffset, kWrappedSize, bytes,
          kWrappedOffset, bytes + kNonceOffset, wrapping.data()) != 0) {
    return KeyFileStatus::kWrongPassword;
  }
  key->master = std::move(master);
  std::memcpy(key->store.data(), bytes + kStoreOffset, key->store.size());
  return KeyFileStatus::kOk;
}

KeyFileStatus ReadBytes(std::wstring_view path, uint8_t* bytes) {
  int error = 0;
  const int fd = platform::OpenFile(path, platform::OpenMode::kRead, &error);
  if (fd < 0) return error == ENOENT ? KeyFileStatus::kMissing : KeyFileStatus::kFailed;
  const int64_t size = platform::FileSizeOf(fd);
  const int64_t got = platform::ReadFile(fd, bytes, KeyFile::kSize);
  platform::CloseFile(fd);
  if (size < 0 || got < 0) return KeyFileStatus::kFailed;
  return size == static_cast<int64_t>(KeyFile::kSize) && got == size ? KeyFileStatus::kOk
                                                                     : KeyFileStatus::kDamaged;
}

// Writes `bytes` under a temporary name, syncs it and renames it over
// `path`, so that a power cut leaves the old file or the new one.
KeyFileStatus WriteBytes(std::wstring_view path, const uint8_t* bytes) {
  const std::wstring temporary = std::wstring(path) + L".new";
  const int fd = platform::OpenFile(temporary, platform::OpenMode::kCreatePrivate);
  if (fd < 0) return KeyFileStatus::kFailed;
  const bool written = platform::WriteFile(fd, bytes, KeyFile::kSize) && platform::SyncFile(fd);
  platform::CloseFile(fd);
  if (!written || !platform::RenameFile(temporary, path)) {
    platform::DeleteFile(temporary);
    return KeyFileStatus::kFailed;
  }
  const size_t slash = path.find_last_of(L'/');
  if (slash != std::wstring_view::npos) platform::SyncFolder(path.substr(0, slash));
  return KeyFileStatus::kOk;
}

}  // namespace

KdfCost DefaultKdfCost() {
  return {3, uint64_t{128} << 20};
}

KeyFileStatus KeyFile::Create(std::wstring_view path, const SecretBytes& password, KdfCost cost,
                              UnlockedKey* key) {
  if (!EnsureSodium() || !CostInBounds(cost)) return KeyFileStatus::kFailed;
  if (platform::PathExists(path)) return KeyFileStatus::kExists;
  UnlockedKey made;
  made.master = SecretBytes(SealKeys::kMasterKeySize);
  if (made.master.empty()) return KeyFileStatus::kFailed;
  randombytes_buf(made.master.data(), made.master.size());
  randombytes_buf(made.store.data(), made.store.size());
  uint8_t bytes[kSize];
  KeyFileStatus status = Wrap(made, password, cost, bytes);
  if (status == KeyFileStatus::kOk) status = WriteBytes(path, bytes);
  if (status == KeyFileStatus::kOk) *key = std::move(made);
  return status;
}

KeyFileStatus KeyFile::Open(std::wstring_view path, const SecretBytes& password, UnlockedKey* key) {
  if (!EnsureSodium()) return KeyFileStatus::kFailed;
  uint8_t bytes[kSize];
  const KeyFileStatus status = ReadBytes(path, bytes);
  return status == KeyFileStatus::kOk ? Unwrap(bytes, password, key) : status;
}

KeyFileStatus KeyFile::ChangePassword(std::wstring_view path, const SecretBytes& oldPassword,
                                      const SecretBytes& newPassword, KdfCost cost) {
  if (!CostInBounds(cost)) return KeyFileStatus::kFailed;
  UnlockedKey key;
  KeyFileStatus status = Open(path, oldPassword, &key);
  if (status != KeyFileStatus::kOk) return status;
  uint8_t bytes[kSize];
  status = Wrap(key, newPassword, cost, bytes);
  return status == KeyFileStatus::kOk ? WriteBytes(path, bytes) : status;
}

std::wstring KeyFile::Message(KeyFileStatus status, std::wstring_view path) {
  const std::wstring file(path);
  switch (status) {
    case KeyFileStatus::kOk:
      return L"";
    case KeyFileStatus::kMissing:
      return L"The key file " + file + L" is missing: the selection cannot be opened.";
    case KeyFileStatus::kExists:
      return L"The key file " + file + L" exists already and was left as it is.";
    case KeyFileStatus::kDamaged:
      return L"The key file " + file + L" is damaged: the selection cannot be opened.";
    case KeyFileStatus::kUnsupported:
      return L"The key file " + file + L" was written by another version and cannot be read.";
    case KeyFileStatus::kWrongPassword:
      return L"The password is wrong. Nothing was changed.";
    case KeyFileStatus::kFailed:
      break;
  }
  return L"The key file " + file + L" could not be read or written.";
}

}  // namespace vaultline::seal
