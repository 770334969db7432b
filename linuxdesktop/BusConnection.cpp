#include "linuxdesktop/BusConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace linuxdesktop {

namespace {

constexpr size_t kMaxDescriptorsPerRead = 16;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Values in an address escape bytes as %XX.
std::string Unescaped(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const int high = i + 2 < value.size() ? HexDigit(value[i + 1]) : -1;
    const int low = i + 2 < value.size() ? HexDigit(value[i + 2]) : -1;
    if (value[i] == '%' && high >= 0 && low >= 0) {
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      out.push_back(value[i]);
    }
  }
  return out;
}

// The socket address of one "unix:path=..." or "unix:abstract=..." entry.
bool UnixAddress(std::string_view entry, sockaddr_un* address, socklen_t* length) {
  if (entry.substr(0, 5) != "unix:") return false;
  std::string_view rest = entry.substr(5);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view pair = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    const size_t equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = pair.substr(0, equals);
    if (key != "path" && key != "abstract") continue;
    const std::string value = Unescaped(pair.substr(equals + 1));
    const bool abstract = key == "abstract";
    if (value.empty() || value.size() + 1 > sizeof(address->sun_path)) return false;
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path + (abstract ? 1 : 0), value.data(), value.size());
    *length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + value.size() + (abstract ? 1 : 0));
    return true;
  }
  return false;
}

bool WaitFor(int socket, short events, int timeoutMs) {
  pollfd entry{socket, events, 0};
  for (;;) {
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

std::string HexOf(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return hex;
}

}  // namespace

OwnedDescriptor& OwnedDescriptor::operator=(OwnedDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

OwnedDescriptor::~OwnedDescriptor() {
  if (fd_ >= 0) close(fd_);
}

int OwnedDescriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

std::string BusAddressOf(Bus bus) {
  const char* set =
      std::getenv(bus == Bus::kSystem ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS");
  if (set != nullptr && *set != '\0') return set;
  if (bus == Bus::kSystem) return "unix:path=/run/dbus/system_bus_socket";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && *runtime != '\0' ? std::string("unix:path=") + runtime + "/bus"
                                                : std::string();
}

BusConnection::BusConnection(Bus bus, int timeoutMs) : timeoutMs_(timeoutMs) {
  const std::string addresses = BusAddressOf(bus);
  size_t start = 0;
  while (start < addresses.size() && !connected()) {
    size_t end = addresses.find(';', start);
    if (end == std::string::npos) end = addresses.size();
    if (Connect(addresses.substr(start, end - start)) && !Authenticate()) Close();
    start = end + 1;
  }
  if (!connected()) return;
  // The bus answers nothing else before this.
  const CallResult hello =
      Call({"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello"},
           BusArguments());
  if (!hello.succeeded()) Close();
}

BusConnection::~BusConnection() {
  Close();
}

void BusConnection::Close() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

bool BusConnection::Connect(const std::string& entry) {
  sockaddr_un address;
  socklen_t length = 0;
  if (!UnixAddress(entry, &address, &length)) return false;
  socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) return false;
  if (connect(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    Close();
    return false;
  }
  return true;
}

bool BusConnection::Authenticate() {
  // The credentials byte, then the user id as the bus sees it from the socket.
  const std::string uid = std::to_string(geteuid());
  if (!SendAll(std::string(1, '\0') + "AUTH EXTERNAL " + HexOf(uid) + "\r\n")) return false;
  std::string line;
  if (!ReadLine(&line) || line.rfind("OK ", 0) != 0) return false;
  if (!SendAll("NEGOTIATE_UNIX_FD\r\n") || !ReadLine(&line)) return false;
  // A bus that cannot pass descriptors still serves calls that need none.
  return SendAll("BEGIN\r\n");
}

bool BusConnection::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN && WaitFor(socket_, POLLOUT, timeoutMs_)) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// One line of the authentication dialogue, read a byte at a time so that
// nothing of the messages after it is taken.
bool BusConnection::ReadLine(std::string* line) {
  line->clear();
  while (line->size() < 4096) {
    if (!WaitFor(socket_, POLLIN, timeoutMs_)) return false;
    char c;
    const ssize_t n = recv(socket_, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    line->push_back(c);
    if (line->size() >= 2 && line->compare(line->size() - 2, 2, "\r\n") == 0) {
      line->resize(line->size() - 2);
      return true;
    }
  }
  return false;
}

bool BusConnection::ReadMessage(std::string* message, std::vector<OwnedDescriptor>* descriptors) {
  message->clear();
  size_t wanted = 16;
  while (message->size() < wanted) {
    if (!WaitFor(socket_, POLLIN, timeoutMs_)) return false;
    char buffer[4096];
    const size_t room = std::min(sizeof(buffer), wanted - message->size());
    iovec io{buffer, room};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptorsPerRead)];
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    const ssize_t n = recvmsg(socket_, &header, MSG_CMSG_CLOEXEC);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
      if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
      const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; ++i) {
        int fd;
        std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
        descriptors->emplace_back(fd);
      }
    }
    message->append(buffer, static_cast<size_t>(n));
    if (message->size() == 16 && wanted == 16) {
      const std::optional<size_t> length = MessageLength(*message);
      if (!length) return false;
      wanted = *length;
    }
  }
  return true;
}

CallResult BusConnection::Call(const MethodCall& call, const BusArguments& arguments) {
  CallResult result;
  if (!connected()) return result;
  const uint32_t serial = ++serial_;
  if (!SendAll(EncodeMethodCall(call, arguments, serial))) {
    Close();
    return result;
  }
  // Signals and the like may come first; the reply names our serial.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string message;
    std::vector<OwnedDescriptor> descriptors;
    if (!ReadMessage(&message, &descriptors)) break;
    std::optional<BusReply> reply = DecodeMessage(message);
    if (!reply) break;
    if ((reply->type == MessageType::kMethodReturn || reply->type == MessageType::kError) &&
        reply->replySerial == serial) {
      result.answered = true;
      result.reply = std::move(*reply);
      result.descriptors = std::move(descriptors);
      return result;
    }
  }
  Close();  // a connection out of step is no use for the next call
  return result;
}

}  // namespace linuxdesktop
