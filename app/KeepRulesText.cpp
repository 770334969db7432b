#include "KeepRulesText.h"

#include <QStringList>

#include "AppStrings.h"
#include "resources/ResourceIds.h"

using namespace marrowby;

bool HasAnyRule(const KeepRules& rules) {
  return rules.last > 0 || rules.daily > 0 || rules.weekly > 0 || rules.monthly > 0;
}

KeepRules ProposedKeepRules() {
  KeepRules rules;
  rules.last = 3;
  rules.daily = 7;
  rules.weekly = 4;
  rules.monthly = 12;
  return rules;
}

QString RulesText(const KeepRules& rules) {
  QStringList parts;
  const struct {
    int count;
    unsigned text;
  } items[] = {{rules.last, ids::kRuleLast},
               {rules.daily, ids::kRuleDaily},
               {rules.weekly, ids::kRuleWeekly},
               {rules.monthly, ids::kRuleMonthly}};
  for (const auto& item : items) {
    if (item.count > 0) parts << FormatString(item.text, item.count);
  }
  return parts.join(QStringLiteral(", "));
}
