// Answers about single stored items of a catalogue: what a record says of
// its item (its owner and attributes, a link's target, read from the content
// file), and whether two stored files, or a stored file and one on disk,
// hold the same bytes.
#pragma once

#include <string>

#include "catalogue/AttributeList.h"
#include "catalogue/DirRecord.h"
#include "vaultline/ItemHistory.h"

namespace vaultline {

class CatalogueFiles;

// What kind of item a record describes.
StoredItemKind KindOfRecord(const DirEntry& entry);

class StoredItems {
 public:
  explicit StoredItems(CatalogueFiles& files) : files_(files) {}

  // The item a record describes, its link target and owner read from the
  // content file.
  StoredItem Describe(const DirEntry& entry, const std::wstring& listed);
  // The owner, group and extended attributes a record points at; false
  // (`why` says) when it has none or they cannot be read.
  bool ReadAttributes(const DirEntry& entry, AttributeList* list, std::wstring* why);
  // Whether two stored files hold the same bytes, by the digests of their
  // pieces: 1 the same, 0 not, -1 when either cannot be read (`why` says).
  int SameStoredContents(const DirEntry& a, const DirEntry& b, std::wstring* why);
  // The same for a stored file and the file at `path`.
  int SameAsFile(const DirEntry& stored, const std::wstring& path, std::wstring* why);

 private:
  CatalogueFiles& files_;
};

}  // namespace vaultline
