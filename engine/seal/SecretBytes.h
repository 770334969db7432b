// Bytes that must not outlive their use: a password, the master key, the
// keys derived from it. Held in memory of their own that the system is asked
// not to swap out, with guard pages around it, and overwritten with zeros
// when freed. Move-only; never copied into ordinary memory by this class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vaultline::seal {

class SecretBytes {
 public:
  SecretBytes() = default;
  // `size` bytes, zero. Empty (size 0, data null) when the memory cannot be had.
  explicit SecretBytes(size_t size);
  // A copy of `text`; the caller wipes its own copy.
  static SecretBytes FromText(std::string_view text);
  ~SecretBytes();
  SecretBytes(SecretBytes&& other) noexcept;
  SecretBytes& operator=(SecretBytes&& other) noexcept;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  void Free();
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Overwrites `length` bytes at `bytes` with zeros in a way the compiler keeps.
void Wipe(void* bytes, size_t length);

}  // namespace vaultline::seal
