// The items of a selection's snapshots as their directory records describe
// them: the details of one snapshot's items, each distinct version of the
// items a search finds across snapshots, and what differs between two
// snapshots or between a snapshot and a folder as it is now.
//
// Each call reads the catalogue afresh and returns false, with the reason as
// its only problem text, when the selection or the snapshot cannot be read at
// all. Records that cannot be read are passed over and named in `problems`
// (one text each); an item is never shown with another item's details.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vaultline/StoredItemKind.h"
#include "vaultline/Vaultline.h"

struct StoredItem {
  // As GetSnapshotContents lists it, the source's name first; a folder ends
  // in the separator, the source folder itself is its name and one separator.
  std::wstring path;
  StoredItemKind kind = StoredItemKind::kFile;
  bool hasMode = false;  // the record holds the permission bits
  uint16_t mode = 0;     // permissions and set-user-ID, set-group-ID, sticky
  bool readOnly = false;
  bool hasOwner = false;  // the record holds the owner
  uint32_t ownerId = 0;
  uint32_t groupId = 0;
  std::wstring owner;  // names; empty when the computer had none for the id
  std::wstring group;
  int64_t size = 0;      // bytes; a link: its target's length; a folder: 0
  int64_t modified = 0;  // seconds since 1970 UTC
  uint32_t nanoseconds = 0;
  std::wstring linkTarget;
  uint32_t deviceMajor = 0;
  uint32_t deviceMinor = 0;
  // What of the item could not be read (its owner, its link target), else
  // empty; the rest stands.
  std::wstring damage;
};

// One state of an item, and the snapshots that hold it.
struct ItemVersion {
  StoredItem item;
  std::vector<unsigned> snapshots;  // oldest first
};

struct VersionSearch {
  // Shell wildcards; one without a separator matches the item's name, one
  // with a separator its whole path as listed ("**" for any folders, a
  // trailing separator for folders only). Any pattern may match; no pattern
  // matches every item.
  std::vector<std::wstring> patterns;
  // A listed path: only that item (patterns are then not looked at).
  std::wstring path;
  std::optional<int64_t> modifiedAfter;  // seconds since 1970 UTC, exclusive
  std::optional<int64_t> modifiedBefore;
  unsigned firstSnapshot = 0;
  unsigned lastSnapshot = UINT_MAX;  // inclusive; beyond the newest: the newest
};

// An item added, removed or changed. Changes are bits of `what`.
struct ItemChange {
  enum : unsigned {
    kAdded = 1u << 0,
    kRemoved = 1u << 1,
    kType = 1u << 2,  // a file became a folder, a link, ...
    kContents = 1u << 3,
    kMode = 1u << 4,
    kOwner = 1u << 5,
    kTime = 1u << 6,
    kLinkTarget = 1u << 7,
    kAttributes = 1u << 8,  // extended attributes
  };

  unsigned what = 0;
  std::optional<StoredItem> before;  // absent when added
  std::optional<StoredItem> after;   // absent when removed
};

// Every item of snapshot `snapshot`, in the order GetSnapshotContents lists
// them.
VAULTLINE_API bool ListStoredItems(IVaultline* engine, unsigned profile, unsigned snapshot,
                                   std::vector<StoredItem>* items,
                                   std::vector<std::wstring>* problems);

// Each distinct version (by contents and metadata as the records hold them)
// of each item the search matches, ordered by path and then by the first
// snapshot that holds it.
VAULTLINE_API bool FindItemVersions(IVaultline* engine, unsigned profile,
                                    const VersionSearch& search, std::vector<ItemVersion>* versions,
                                    std::vector<std::wstring>* problems);

// What changed from snapshot `from` to snapshot `to`, ordered by path.
VAULTLINE_API bool DiffSnapshots(IVaultline* engine, unsigned profile, unsigned from, unsigned to,
                                 std::vector<ItemChange>* changes,
                                 std::vector<std::wstring>* problems);

// What changed from snapshot `snapshot` to `folder` as it is now, which
// stands for the selection's source; ordered by path. A file whose size and
// time agree with its record counts as unchanged, as for a backup; one whose
// time differs is compared with the stored contents.
VAULTLINE_API bool DiffWithFolder(IVaultline* engine, unsigned profile, unsigned snapshot,
                                  const std::wstring& folder, std::vector<ItemChange>* changes,
                                  std::vector<std::wstring>* problems);
