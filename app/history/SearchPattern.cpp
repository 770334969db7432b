#include "history/SearchPattern.h"

#include "vaultline/Path.h"

namespace {

bool HasWildcards(const QString& text) {
  return text.contains(u'*') || text.contains(u'?') || text.contains(u'[');
}

}  // namespace

SearchPattern::SearchPattern(const QString& typed)
    : typed_(typed.trimmed()),
      wildcards_(HasWildcards(typed_)),
      onPath_(typed_.contains(QChar(vaultline::platform::kSeparator))) {
  // A wildcard describes the whole name or path; a '*' stays within a folder.
  if (wildcards_) {
    QString whole = typed_;
    if (whole.startsWith(QChar(vaultline::platform::kSeparator))) whole.remove(0, 1);
    expression_ = QRegularExpression(QRegularExpression::wildcardToRegularExpression(whole),
                                     QRegularExpression::CaseInsensitiveOption);
  }
}

bool SearchPattern::Matches(const QString& text) const {
  if (IsEmpty()) return false;
  if (!wildcards_) return text.contains(typed_, Qt::CaseInsensitive);
  return expression_.match(text).hasMatch();
}

std::wstring SearchPattern::EngineWildcard() const {
  if (IsEmpty()) return std::wstring();
  const std::wstring typed = typed_.toStdWString();
  std::wstring wildcard = wildcards_ ? L"" : L"*";
  bool inClass = false;
  for (const wchar_t c : typed) {
    if (c == L'[') inClass = true;
    if (c == L']') inClass = false;
    const QChar character(static_cast<char16_t>(c));
    const QChar lower = character.toLower();
    const QChar upper = character.toUpper();
    if (!inClass && lower != upper) {
      wildcard += L'[';
      wildcard += static_cast<wchar_t>(lower.unicode());
      wildcard += static_cast<wchar_t>(upper.unicode());
      wildcard += L']';
    } else {
      wildcard += c;
    }
  }
  if (!wildcards_) wildcard += L'*';
  return wildcard;
}
