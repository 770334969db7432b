// What a stored item is, as its directory record tells.
#pragma once

enum class StoredItemKind : int {
  kFile,
  kFolder,
  kLink,
  kFifo,
  kSocket,
  kCharacterDevice,
  kBlockDevice,
};
