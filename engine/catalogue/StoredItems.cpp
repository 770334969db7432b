#include "catalogue/StoredItems.h"

#include <algorithm>
#include <vector>

#include "blockstore/BlockStore.h"
#include "blockstore/ContentRecord.h"
#include "blockstore/Md5.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DirectoryFile.h"
#include "catalogue/RecordExtension.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "util/Crc32.h"

namespace vaultline {

namespace {

// The file's bytes against the pieces of its record, piece by piece.
bool FileMatchesPieces(int fd, const ContentRecord& record) {
  std::vector<uint8_t> buffer;
  if (record.header.layout == FpHeader::kLayoutRaw) {
    buffer.resize(record.raw.size() + 1);
    const int64_t got = platform::ReadFile(fd, buffer.data(), buffer.size());
    return got == static_cast<int64_t>(record.raw.size()) &&
           std::equal(record.raw.begin(), record.raw.end(), buffer.begin());
  }
  for (const FpEntry& piece : record.entries) {
    buffer.resize(static_cast<size_t>(piece.length));
    if (platform::ReadFile(fd, buffer.data(), buffer.size()) != piece.length) return false;
    if (Md5::Of(buffer.data(), buffer.size()) != piece.digest) return false;
  }
  uint8_t extra = 0;
  return platform::ReadFile(fd, &extra, 1) == 0;
}

bool SamePieces(const ContentRecord& a, const ContentRecord& b) {
  if (a.header.layout != b.header.layout) return false;
  if (a.header.layout == FpHeader::kLayoutRaw) return a.raw == b.raw;
  return std::equal(a.entries.begin(), a.entries.end(), b.entries.begin(), b.entries.end(),
                    [](const FpEntry& x, const FpEntry& y) {
                      return x.length == y.length && x.digest == y.digest;
                    });
}

}  // namespace

StoredItemKind KindOfRecord(const DirEntry& entry) {
  if (entry.IsFolder()) return StoredItemKind::kFolder;
  switch (entry.Kind()) {
    case platform::ItemKind::kPlain:
      return StoredItemKind::kFile;
    case platform::ItemKind::kSymbolicLink:
      return StoredItemKind::kLink;
    case platform::ItemKind::kFifo:
      return StoredItemKind::kFifo;
    case platform::ItemKind::kSocket:
      return StoredItemKind::kSocket;
    case platform::ItemKind::kCharacterDevice:
      return StoredItemKind::kCharacterDevice;
    case platform::ItemKind::kBlockDevice:
      return StoredItemKind::kBlockDevice;
  }
  return StoredItemKind::kFile;
}

bool StoredItems::ReadAttributes(const DirEntry& entry, AttributeList* list, std::wstring* why) {
  if (!entry.HasTail() || entry.tail.attributesOffset < 0) {
    *why = L"none were recorded";
    return false;
  }
  std::string bytes;
  *why = L"they do not match their record";
  if (!files_.Store().ReadBytes(files_.ContentFd(), entry.tail.attributesOffset, std::wstring(), -1,
                                &bytes, why)) {
    return false;
  }
  uint32_t crc = Crc32(bytes.data(), bytes.size());
  if (crc == 0) crc = 0xFFFFFFFF;
  return crc == entry.tail.attributesCrc && AttributeList::Decode(bytes, list);
}

StoredItem StoredItems::Describe(const DirEntry& entry, const std::wstring& listed) {
  StoredItem item;
  item.path = listed;
  item.kind = KindOfRecord(entry);
  item.hasMode = HasPermissions(entry);
  item.mode = static_cast<uint16_t>((item.hasMode ? PermissionsOf(entry) : 0) |
                                    (entry.HasTail() ? entry.tail.specialMode : 0));
  item.readOnly = (entry.attributes & kReadOnlyAttribute) != 0;
  item.size = item.kind == StoredItemKind::kFolder ? 0 : entry.size;
  const ExactTime time = DecodeTime(entry);
  item.modified = time.seconds;
  item.nanoseconds = time.nanoseconds;
  item.deviceMajor = entry.tail.deviceMajor;
  item.deviceMinor = entry.tail.deviceMinor;
  std::wstring why;
  AttributeList list;
  if (ReadAttributes(entry, &list, &why)) {
    item.hasOwner = true;
    item.ownerId = list.ownerId;
    item.groupId = list.groupId;
    item.owner = list.ownerName;
    item.group = list.groupName;
  } else if (entry.HasTail() && entry.tail.attributesOffset >= 0) {
    item.damage = L"its owner and attributes are damaged on the drive: " + why;
  }
  if (item.kind == StoredItemKind::kLink) {
    std::string target;
    if (files_.Store().ReadBytes(files_.ContentFd(), entry.contentOffset, entry.name, entry.size,
                                 &target, &why)) {
      item.linkTarget = platform::DecodeName(target);
    } else {
      if (!item.damage.empty()) item.damage += L"; ";
      item.damage += L"its link target is damaged on the drive: " + why;
    }
  }
  return item;
}

int StoredItems::SameStoredContents(const DirEntry& a, const DirEntry& b, std::wstring* why) {
  if (a.contentOffset == b.contentOffset) return 1;
  if (a.size != b.size) return 0;
  ContentRecord first;
  ContentRecord second;
  if (!files_.Store().ReadRecord(files_.ContentFd(), a.contentOffset, a.name, a.size, &first,
                                 why) ||
      !files_.Store().ReadRecord(files_.ContentFd(), b.contentOffset, b.name, b.size, &second,
                                 why)) {
    return -1;
  }
  return SamePieces(first, second) ? 1 : 0;
}

int StoredItems::SameAsFile(const DirEntry& stored, const std::wstring& path, std::wstring* why) {
  ContentRecord record;
  if (!files_.Store().ReadRecord(files_.ContentFd(), stored.contentOffset, stored.name, stored.size,
                                 &record, why)) {
    return -1;
  }
  int error = 0;
  const int fd = platform::OpenFile(path, platform::OpenMode::kRead, &error);
  if (fd < 0) {
    *why = platform::FormatWide(L"%ls cannot be read: %ls", path.c_str(),
                                platform::SystemErrorText(error).c_str());
    return -1;
  }
  const bool same = FileMatchesPieces(fd, record);
  platform::CloseFile(fd);
  return same ? 1 : 0;
}

}  // namespace vaultline
