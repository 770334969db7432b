// What restores and checks found damaged in a selection's store, kept in the
// sidecar file location + ".bad" so that the next backup does not build on it:
// no new content goes into a damaged block, and a file whose stored content or
// a folder whose records are damaged is stored again although its key says
// unchanged.
//
// Derived data: a missing file is an empty memory, a damaged one is ignored
// (and replaced at the next save).
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>

namespace vaultline {

class DamageMemory {
 public:
  enum class Kind { kBlock, kContent, kChildren };

  // Loads `path` if it holds a sound memory.
  explicit DamageMemory(std::wstring path);

  bool Has(Kind kind, int64_t position) const { return Of(kind).count(position) != 0; }
  void Add(Kind kind, int64_t position);
  bool Empty() const;
  // Writes the memory when something was added: beside the old file, synced,
  // then renamed over it. False when that failed (the memory is only lost).
  bool Save();

 private:
  const std::set<int64_t>& Of(Kind kind) const { return sets_[static_cast<size_t>(kind)]; }
  std::string Text() const;
  bool Parse(const std::string& text);

  std::wstring path_;
  // By kind: data-file positions of block headers, content-file offsets of
  // file records, directory-file offsets of folders' first children.
  std::array<std::set<int64_t>, 3> sets_;
  bool changed_ = false;
};

}  // namespace vaultline
