// Splits a line of semicolon-separated, optionally quoted fields, one 16-bit
// character at a time. Shared by the reader of diagnostics.ini
// (GetLineParameters) and the reader of config.ini (ConfigLineReader).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vaultline {

class LineFields {
 public:
  // Kept fields are appended to `fields`.
  explicit LineFields(std::vector<std::wstring>* fields);

  // Takes one character; true when it was the line break that completed a
  // line with at least one kept field.
  bool Add(char16_t c);
  // Fields kept so far by this line.
  bool HasFields() const { return fields_->size() > start_; }

 private:
  void FinishField();

  std::vector<std::wstring>* fields_;
  size_t start_;
  std::u16string field_;
  int quotes_ = 0;
};

}  // namespace vaultline
