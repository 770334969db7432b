// A connection to the system or the session message bus, authenticated as
// this user, able to receive file descriptors, that makes method calls one
// at a time and waits for their replies. Where there is no such bus the
// connection simply is not connected: callers go on without it.
#pragma once

#include <string>
#include <vector>

#include "linuxdesktop/BusMessage.h"

namespace linuxdesktop {

enum class Bus { kSystem, kSession };

// A file descriptor received with a reply; closed with its owner.
class OwnedDescriptor {
 public:
  OwnedDescriptor() = default;
  explicit OwnedDescriptor(int fd) : fd_(fd) {}
  OwnedDescriptor(OwnedDescriptor&& other) noexcept : fd_(other.Release()) {}
  OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept;
  OwnedDescriptor(const OwnedDescriptor&) = delete;
  OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
  ~OwnedDescriptor();

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

struct CallResult {
  bool answered = false;  // a method return or an error came back
  BusReply reply;
  std::vector<OwnedDescriptor> descriptors;

  bool succeeded() const { return answered && reply.type == MessageType::kMethodReturn; }
};

class BusConnection {
 public:
  // Each wait for the bus ends after `timeoutMs`.
  explicit BusConnection(Bus bus, int timeoutMs = 5000);
  ~BusConnection();
  BusConnection(const BusConnection&) = delete;
  BusConnection& operator=(const BusConnection&) = delete;

  bool connected() const { return socket_ >= 0; }
  CallResult Call(const MethodCall& call, const BusArguments& arguments);

 private:
  bool Connect(const std::string& address);
  bool Authenticate();
  bool SendAll(const std::string& bytes);
  bool ReadLine(std::string* line);
  bool ReadMessage(std::string* message, std::vector<OwnedDescriptor>* descriptors);
  void Close();

  int socket_ = -1;
  int timeoutMs_;
  uint32_t serial_ = 0;
};

// The bus's address: the environment's (DBUS_SYSTEM_BUS_ADDRESS,
// DBUS_SESSION_BUS_ADDRESS), else the usual socket of that bus.
std::string BusAddressOf(Bus bus);

}  // namespace linuxdesktop
