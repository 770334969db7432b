#include "core/Engine.h"

#include <exception>

#include "core/BuiltInTexts.h"
#include "core/StringList.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "vaultline/ProfileSource.h"
#include "vaultline/RestoreConflict.h"
#include "vaultline/SnapshotDetails.h"

namespace vaultline {

namespace {
constexpr size_t kExceptionTextLimit = 260;
}  // namespace

Engine::Engine(IResourceProvider* provider, const wchar_t* deviceRoot)
    : deviceRoot_(deviceRoot != nullptr ? deviceRoot : L""),
      storageRoot_(std::wstring(L"BackupStorage") + platform::kSeparator),
      provider_(provider) {}

Engine::~Engine() {
  if (!profiles_) return;
  for (auto& profile : *profiles_) CloseCatalogue(*profile);
}

IBackupRestoreStatus* Engine::SetStatusCallback(IBackupRestoreStatus* status) {
  IBackupRestoreStatus* previous = status_;
  status_ = status;
  return previous;
}

void Engine::SetMaxFileSize(int64_t bytes) {
  if (bytes == maxFileSize_) return;
  maxFileSize_ = bytes;
  SaveConfiguration();
}

void Engine::SetMaxBackupSize(int64_t bytes) {
  if (bytes == maxBackupSize_) return;
  maxBackupSize_ = bytes;
  SaveConfiguration();
}

void Engine::ReleaseList(StringList list) {
  delete list;
}

int Engine::GetListCount(StringList list) {
  return list == nullptr ? 0 : static_cast<int>(list->items.size());
}

const wchar_t* Engine::GetListItem(StringList list, unsigned index) {
  if (list == nullptr || index >= list->items.size()) return L"";
  return list->items[index].c_str();
}

Profile* Engine::ProfileAt(unsigned index) {
  if (!profiles_ || index >= profiles_->size()) return nullptr;
  return (*profiles_)[index].get();
}

void Engine::Report(int level, const std::wstring& text) {
  if (status_ != nullptr) status_->OnMessage(level, text.c_str());
}

bool Engine::Guarded(unsigned failureText, const std::function<bool()>& work) {
  try {
    return work();
  } catch (const std::exception& error) {
    std::wstring text = platform::AnsiToWide(error.what());
    if (text.size() > kExceptionTextLimit) text.resize(kExceptionTextLimit);
    Report(kMessageError, text);
  } catch (...) {
    Report(kMessageError, LoadEngineText(provider_, failureText));
  }
  return false;
}

}  // namespace vaultline

IVaultline* InitializeT(IResourceProvider* provider, const wchar_t* deviceRoot,
                        int interfaceVersion, int reserved, int buildVersion) {
  if (interfaceVersion != 1 || reserved != 0 || buildVersion != 2) return nullptr;
  vaultline::Engine* engine = nullptr;
  try {
    engine = new vaultline::Engine(provider, deviceRoot);
    engine->Initialize();
  } catch (...) {
    // Nothing may cross the boundary; an engine that could not be built whole
    // is not handed out.
    delete engine;
    return nullptr;
  }
  return engine;
}

StringList GetSnapshotItemDetails(IVaultline* engine, unsigned profile, unsigned snapshot) {
  auto* own = dynamic_cast<vaultline::Engine*>(engine);
  return own != nullptr ? own->GetSnapshotDetails(profile, snapshot) : nullptr;
}

int SetProfileSource(IVaultline* engine, unsigned profile, const wchar_t* path) {
  auto* own = dynamic_cast<vaultline::Engine*>(engine);
  return own != nullptr ? own->SetProfileSource(profile, path != nullptr ? path : L"")
                        : kSourceNotChanged;
}

void SetRestoreConflict(IVaultline* engine, int rule, bool countOnly) {
  // The library hands out no other implementation of the interface.
  if (auto* own = dynamic_cast<vaultline::Engine*>(engine))
    own->SetRestoreConflict(rule, countOnly);
}

void Cleanup(IVaultline* engine) {
  delete engine;
}
