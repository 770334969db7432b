// One D-Bus message in the little-endian wire format: a method call built
// argument by argument, or a received message read back. Only the types the
// programs exchange are supported: strings, object paths, 32-bit numbers,
// booleans, file-descriptor indices, and empty or string arrays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linuxdesktop {

enum class MessageType : uint8_t {
  kInvalid = 0,
  kMethodCall = 1,
  kMethodReturn = 2,
  kError = 3,
  kSignal = 4
};

// The body of a method call, written in the order of its signature.
class BusArguments {
 public:
  BusArguments& String(std::string_view text);
  BusArguments& Uint32(uint32_t value);
  BusArguments& Int32(int32_t value);
  BusArguments& StringArray(const std::vector<std::string>& items);
  // a{sv} with no entries (options, hints).
  BusArguments& EmptyDictionary();

  const std::string& signature() const { return signature_; }
  const std::string& bytes() const { return bytes_; }

 private:
  void Align(size_t boundary);
  void Put32(uint32_t value);

  std::string signature_;
  std::string bytes_;
};

struct MethodCall {
  std::string destination;
  std::string path;
  std::string interface;
  std::string member;
};

// The whole message, header and body, with serial `serial`.
std::string EncodeMethodCall(const MethodCall& call, const BusArguments& arguments,
                             uint32_t serial);

// A received message: what the header says and the body as it came.
struct BusReply {
  MessageType type = MessageType::kInvalid;
  uint32_t replySerial = 0;
  uint32_t fdCount = 0;
  std::string signature;
  std::string errorName;
  std::string body;

  // The first argument when it is of the type asked for.
  std::optional<std::string> FirstString() const;
  std::optional<uint32_t> FirstUint32() const;  // also a descriptor index
};

// Length of the whole message whose first 16 bytes are `fixed`; nullopt when
// they are no little-endian message of this protocol version.
std::optional<size_t> MessageLength(std::string_view fixed);
// Reads the header fields of a complete message; nullopt when damaged.
std::optional<BusReply> DecodeMessage(std::string_view message);

}  // namespace linuxdesktop
