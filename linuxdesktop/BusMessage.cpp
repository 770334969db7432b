#include "linuxdesktop/BusMessage.h"

namespace linuxdesktop {

namespace {

constexpr uint8_t kProtocolVersion = 1;
constexpr size_t kFixedHeader = 16;
// A header field: its code, and the type its value always has.
struct HeaderField {
  uint8_t code;
  char type;
};
constexpr HeaderField kPath{1, 'o'};
constexpr HeaderField kInterface{2, 's'};
constexpr HeaderField kMember{3, 's'};
constexpr HeaderField kErrorName{4, 's'};
constexpr HeaderField kReplySerial{5, 'u'};
constexpr HeaderField kDestination{6, 's'};
constexpr HeaderField kSignature{8, 'g'};
constexpr HeaderField kUnixFds{9, 'u'};

size_t Padded(size_t position, size_t boundary) {
  return (position + boundary - 1) / boundary * boundary;
}

void PadTo(std::string& bytes, size_t boundary) {
  bytes.resize(Padded(bytes.size(), boundary), '\0');
}

void Put32At(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Append32(std::string& bytes, uint32_t value) {
  PadTo(bytes, 4);
  bytes.resize(bytes.size() + 4);
  Put32At(bytes, bytes.size() - 4, value);
}

void AppendText(std::string& bytes, std::string_view text) {
  Append32(bytes, static_cast<uint32_t>(text.size()));
  bytes.append(text);
  bytes.push_back('\0');
}

void AppendSignature(std::string& bytes, std::string_view signature) {
  bytes.push_back(static_cast<char>(signature.size()));
  bytes.append(signature);
  bytes.push_back('\0');
}

void AppendTextField(std::string& bytes, HeaderField field, std::string_view text) {
  PadTo(bytes, 8);
  bytes.push_back(static_cast<char>(field.code));
  AppendSignature(bytes, std::string_view(&field.type, 1));
  if (field.type == 'g') {
    AppendSignature(bytes, text);
  } else {
    AppendText(bytes, text);
  }
}

// Reads the little-endian message `data` from `at` onwards; every read
// checks its bounds and fails for good once one does not fit.
class Reader {
 public:
  Reader(std::string_view data, size_t at) : data_(data), at_(at) {}

  bool ok() const { return ok_; }
  size_t at() const { return at_; }

  void Align(size_t boundary) {
    at_ = Padded(at_, boundary);
    if (at_ > data_.size()) ok_ = false;
  }
  uint8_t Byte() {
    if (!ok_ || at_ + 1 > data_.size()) return Fail<uint8_t>();
    return static_cast<uint8_t>(data_[at_++]);
  }
  uint32_t Uint32() {
    Align(4);
    if (!ok_ || at_ + 4 > data_.size()) return Fail<uint32_t>();
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(data_[at_ + i]);
    at_ += 4;
    return value;
  }
  std::string Text() { return Chars(Uint32()); }
  std::string Signature() { return Chars(Byte()); }

 private:
  template <typename T>
  T Fail() {
    ok_ = false;
    return T{};
  }
  // `length` bytes and their terminating zero.
  std::string Chars(size_t length) {
    if (!ok_ || at_ + length + 1 > data_.size() || data_[at_ + length] != '\0') {
      return Fail<std::string>();
    }
    std::string text(data_.substr(at_, length));
    at_ += length + 1;
    return text;
  }

  std::string_view data_;
  size_t at_;
  bool ok_ = true;
};

}  // namespace

void BusArguments::Align(size_t boundary) {
  PadTo(bytes_, boundary);
}

void BusArguments::Put32(uint32_t value) {
  Append32(bytes_, value);
}

BusArguments& BusArguments::String(std::string_view text) {
  signature_ += 's';
  AppendText(bytes_, text);
  return *this;
}

BusArguments& BusArguments::Uint32(uint32_t value) {
  signature_ += 'u';
  Put32(value);
  return *this;
}

BusArguments& BusArguments::Int32(int32_t value) {
  signature_ += 'i';
  Put32(static_cast<uint32_t>(value));
  return *this;
}

BusArguments& BusArguments::StringArray(const std::vector<std::string>& items) {
  signature_ += "as";
  Put32(0);
  const size_t lengthAt = bytes_.size() - 4;
  const size_t start = bytes_.size();  // strings align to 4, as the length did
  for (const std::string& item : items) AppendText(bytes_, item);
  Put32At(bytes_, lengthAt, static_cast<uint32_t>(bytes_.size() - start));
  return *this;
}

BusArguments& BusArguments::EmptyDictionary() {
  signature_ += "a{sv}";
  Put32(0);
  // An empty array still pads to where its first entry would begin.
  Align(8);
  return *this;
}

std::string EncodeMethodCall(const MethodCall& call, const BusArguments& arguments,
                             uint32_t serial) {
  std::string message;
  message.push_back('l');
  message.push_back(static_cast<char>(MessageType::kMethodCall));
  message.push_back('\0');  // flags: a reply is expected
  message.push_back(static_cast<char>(kProtocolVersion));
  Append32(message, static_cast<uint32_t>(arguments.bytes().size()));
  Append32(message, serial);
  Append32(message, 0);  // length of the header fields, below
  const size_t fieldsStart = message.size();
  AppendTextField(message, kPath, call.path);
  if (!call.interface.empty()) AppendTextField(message, kInterface, call.interface);
  AppendTextField(message, kMember, call.member);
  if (!call.destination.empty()) {
    AppendTextField(message, kDestination, call.destination);
  }
  if (!arguments.signature().empty()) {
    AppendTextField(message, kSignature, arguments.signature());
  }
  Put32At(message, 12, static_cast<uint32_t>(message.size() - fieldsStart));
  PadTo(message, 8);
  message += arguments.bytes();
  return message;
}

std::optional<size_t> MessageLength(std::string_view fixed) {
  if (fixed.size() < kFixedHeader || fixed[0] != 'l' ||
      static_cast<uint8_t>(fixed[3]) != kProtocolVersion) {
    return std::nullopt;
  }
  Reader reader(fixed, 4);
  const uint64_t body = reader.Uint32();
  reader.Uint32();  // serial
  const uint64_t fields = reader.Uint32();
  const uint64_t total = Padded(kFixedHeader + fields, 8) + body;
  // The protocol's limit on one message.
  if (total > (uint64_t{1} << 27)) return std::nullopt;
  return static_cast<size_t>(total);
}

std::optional<BusReply> DecodeMessage(std::string_view message) {
  const std::optional<size_t> length = MessageLength(message);
  if (!length || *length != message.size()) return std::nullopt;
  BusReply reply;
  reply.type = static_cast<MessageType>(static_cast<uint8_t>(message[1]));
  Reader reader(message, 12);
  const size_t fieldsEnd = kFixedHeader + reader.Uint32();
  while (reader.ok() && reader.at() < fieldsEnd) {
    reader.Align(8);
    const uint8_t code = reader.Byte();
    const std::string type = reader.Signature();
    if (type == "u") {
      const uint32_t value = reader.Uint32();
      if (code == kReplySerial.code) reply.replySerial = value;
      if (code == kUnixFds.code) reply.fdCount = value;
    } else if (type == "s" || type == "o") {
      const std::string text = reader.Text();
      if (code == kErrorName.code) reply.errorName = text;
    } else if (type == "g") {
      const std::string text = reader.Signature();
      if (code == kSignature.code) reply.signature = text;
    } else {
      return std::nullopt;  // no header field has another type
    }
  }
  if (!reader.ok() || reader.at() != fieldsEnd) return std::nullopt;
  reply.body = std::string(message.substr(Padded(fieldsEnd, 8)));
  return reply;
}

std::optional<std::string> BusReply::FirstString() const {
  if (signature.empty() || (signature[0] != 's' && signature[0] != 'o')) return std::nullopt;
  Reader reader(body, 0);
  std::string text = reader.Text();
  if (!reader.ok()) return std::nullopt;
  return text;
}

std::optional<uint32_t> BusReply::FirstUint32() const {
  if (signature.empty() || (signature[0] != 'u' && signature[0] != 'h')) return std::nullopt;
  Reader reader(body, 0);
  const uint32_t value = reader.Uint32();
  if (!reader.ok()) return std::nullopt;
  return value;
}

}  // namespace linuxdesktop
