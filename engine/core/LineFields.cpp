#include "core/LineFields.h"

#include "platform/Text.h"
#include "vaultline/FileUtilities.h"

namespace vaultline {

LineFields::LineFields(std::vector<std::wstring>* fields)
    : fields_(fields), start_(fields->size()) {}

bool LineFields::Add(char16_t c) {
  switch (c) {
    case u' ':
    case u'\t':
      if (!field_.empty()) field_.push_back(c);
      return false;
    case u'"':
      field_.push_back(c);
      ++quotes_;
      return false;
    case u';':
      if (quotes_ % 2 == 0) {
        FinishField();
      } else {
        field_.push_back(c);
      }
      return false;
    case u'\r':
    case u'\n':
      FinishField();
      // Empty lines and the line feed after a carriage return are not lines.
      return HasFields();
    default:
      field_.push_back(c);
      return false;
  }
}

void LineFields::FinishField() {
  std::wstring text = platform::FromUtf16(field_);
  field_.clear();
  quotes_ = 0;
  RemoveDoubleQuotes(text);
  if (!text.empty() && text.front() == L'"') {
    text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::wstring();
  }
  Ltrim(text);
  Rtrim(text);
  if (!text.empty()) fields_->push_back(std::move(text));
}

}  // namespace vaultline
