// The engine for one run of the command line: the program folder (or
// --drive), the English texts, InitializeT and Cleanup.
#pragma once

#include <string>
#include <vector>

#include "EnglishResources.h"
#include "GlobalOptions.h"
#include "vaultline/Vaultline.h"

namespace vaultline::cli {

class EngineSession {
 public:
  // Throws CommandError when the drive folder is missing or the engine
  // cannot be created.
  explicit EngineSession(const GlobalOptions& options);
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  IVaultline& engine() { return *engine_; }
  const GlobalOptions& options() const { return options_; }
  // The folder that holds BackupStorage/, with a trailing separator.
  const std::wstring& programFolder() const { return programFolder_; }

  // Copies a list the engine handed out and gives it back.
  std::vector<std::wstring> Take(StringList list);

 private:
  GlobalOptions options_;
  std::wstring programFolder_;
  EnglishResources resources_;
  IVaultline* engine_ = nullptr;
};

}  // namespace vaultline::cli
