// The keep rules of a selection: stored beside its files, what they forget
// after the next backup, and the compaction that follows when worth it.
#include "catalogue/RetentionPolicy.h"
#include "core/BuiltInTexts.h"
#include "core/Engine.h"
#include "core/KeepRulesFile.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "vaultline/KeepRules.h"

namespace vaultline {

bool Engine::GetKeepRules(unsigned index, KeepRules* rules) {
  *rules = KeepRules();
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted) return false;
  if (KeepRulesFile(profile->location).Load(rules)) return true;
  Report(kMessageError, FormatEngineText(provider_, kTextKeepRulesUnreadable,
                                         platform::SystemErrorText(platform::LastError())));
  return false;
}

bool Engine::SetKeepRules(unsigned index, const KeepRules& rules) {
  Profile* profile = ProfileAt(index);
  // A location a damaged config.ini points elsewhere is never written to.
  if (profile == nullptr || profile->deleted || !IsInsideStorage(profile->location)) return false;
  const bool heldBefore = profile->lock.IsHeld();
  if (!LockSelection(*profile, status_)) return false;
  const bool saved = KeepRulesFile(profile->location).Save(rules);
  if (!saved) {
    Report(kMessageError, FormatEngineText(provider_, kTextKeepRulesNotSaved,
                                           platform::SystemErrorText(platform::LastError())));
  }
  if (!heldBefore) profile->lock.Release();
  return saved;
}

StringList Engine::GetSnapshotsToForgetAfterBackup(unsigned index, const KeepRules& rules) {
  return SnapshotsToForget(index, {rules.last, rules.daily, rules.weekly, rules.monthly},
                           platform::CurrentTime());
}

}  // namespace vaultline

namespace {

vaultline::Engine* OwnEngine(IVaultline* engine) {
  return dynamic_cast<vaultline::Engine*>(engine);
}

}  // namespace

KeepRules GetKeepRules(IVaultline* engine, unsigned profile) {
  KeepRules rules;
  if (vaultline::Engine* own = OwnEngine(engine)) own->GetKeepRules(profile, &rules);
  return rules;
}

bool SetKeepRules(IVaultline* engine, unsigned profile, const KeepRules& rules) {
  vaultline::Engine* own = OwnEngine(engine);
  return own != nullptr && own->SetKeepRules(profile, rules);
}

StringList GetSnapshotsToForgetAfterBackup(IVaultline* engine, unsigned profile,
                                           const KeepRules& rules) {
  vaultline::Engine* own = OwnEngine(engine);
  return own != nullptr ? own->GetSnapshotsToForgetAfterBackup(profile, rules) : nullptr;
}

int64_t CompactProfileWhenWorthIt(IVaultline* engine, unsigned profile) {
  vaultline::Engine* own = OwnEngine(engine);
  return own != nullptr ? own->Compact(profile, true) : -1;
}

bool AppendForgetLog(IVaultline* engine, const wchar_t* line) {
  vaultline::Engine* own = OwnEngine(engine);
  return own != nullptr && line != nullptr && own->AppendForgetLog(line);
}

StringList ReadForgetLog(IVaultline* engine) {
  vaultline::Engine* own = OwnEngine(engine);
  return own != nullptr ? own->ReadForgetLog() : nullptr;
}
