#include "seal/SecretBytes.h"

#include <sodium.h>

#include <cstring>

#include "seal/Sodium.h"

namespace vaultline::seal {

SecretBytes::SecretBytes(size_t size) {
  if (size == 0 || !EnsureSodium()) return;
  // sodium_malloc locks the pages (where the limit allows) and guards them;
  // sodium_free wipes and unlocks them.
  data_ = static_cast<uint8_t*>(sodium_malloc(size));
  if (data_ == nullptr) return;
  size_ = size;
  sodium_memzero(data_, size_);
}

SecretBytes SecretBytes::FromText(std::string_view text) {
  SecretBytes bytes(text.size());
  if (bytes.size() == text.size() && !text.empty())
    std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

SecretBytes::~SecretBytes() {
  Free();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

void SecretBytes::Free() {
  if (data_ != nullptr) sodium_free(data_);
  data_ = nullptr;
  size_ = 0;
}

void Wipe(void* bytes, size_t length) {
  if (length > 0) sodium_memzero(bytes, length);
}

}  // namespace vaultline::seal
