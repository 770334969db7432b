// What the user types into a search field: part of a name, found in any
// case ("report" finds "Q3 Report.odt"), or shell wildcards (* ? [...]) that
// must match the whole name, also in any case. A text with a separator is
// matched against the path below the source folder instead of the name.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <string>

class SearchPattern {
 public:
  SearchPattern() = default;
  explicit SearchPattern(const QString& typed);

  bool IsEmpty() const { return typed_.isEmpty(); }
  bool OnPath() const { return onPath_; }
  // `text` is an item's name, or its path below the source folder when
  // OnPath() (separated by the platform's separator).
  bool Matches(const QString& text) const;
  // The same search as a wildcard of the engine's version search, whose
  // wildcards tell letter case apart: each letter becomes a class of both.
  std::wstring EngineWildcard() const;

 private:
  QString typed_;
  bool wildcards_ = false;
  bool onPath_ = false;
  QRegularExpression expression_;
};
