// Keep rules as the desktop program shows them: whether any rule is set, the
// rules it proposes to start from, and one line naming them.
#pragma once

#include <QString>

#include "vaultline/KeepRules.h"

// Rules with every count 0 keep only the newest snapshot; they are no rules.
bool HasAnyRule(const KeepRules& rules);
// Last 3, 7 days, 4 weeks, 12 months; off.
KeepRules ProposedKeepRules();
// "last 3, daily 7, weekly 4, monthly 12", leaving out the rules at 0.
QString RulesText(const KeepRules& rules);
