// Symbolic links and the nodes of fifos, sockets and devices: read as what
// they are, never through them, and made again on restore.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace vaultline::platform {

// The target of the link at `path`, its bytes exactly; false when `path` is
// no link or cannot be read.
bool ReadLinkTarget(std::wstring_view path, std::string* target);
// Makes a link at `path` to `target` (bytes as read); fails when `path`
// exists. `error` receives errno on failure.
bool CreateSymbolicLink(std::string_view target, std::wstring_view path, int* error = nullptr);
// Makes a fifo, socket or device node of `kind` at `path`, mode 0600; fails
// when `path` exists. Devices need the privilege to make them (EPERM).
bool CreateSpecialNode(std::wstring_view path, ItemKind kind, uint32_t deviceMajor,
                       uint32_t deviceMinor, int* error = nullptr);

}  // namespace vaultline::platform
