// One function per command; each returns the exit status and throws
// CommandError when it cannot go on.
#pragma once

#include <optional>
#include <string>

#include "EngineSession.h"
#include "ExitCode.h"

namespace vaultline::cli {

int RunList(EngineSession& session);
int RunCreate(EngineSession& session, const std::wstring& name, const std::wstring& source);
int RunRename(EngineSession& session, const std::wstring& selection, const std::wstring& name);
int RunDelete(EngineSession& session, const std::wstring& selection);
int RunBackup(EngineSession& session, const std::wstring& selection);
int RunSnapshots(EngineSession& session, const std::wstring& selection);
int RunLs(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot);
int RunRestore(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
               const std::optional<std::wstring>& item, const std::wstring& destination);
int RunCat(EngineSession& session, const std::wstring& selection, const std::wstring& snapshot,
           const std::wstring& item);
int RunCheck(EngineSession& session, const std::wstring& selection, bool readData);
int RunConfig(EngineSession& session, const std::optional<std::wstring>& key,
              const std::optional<std::wstring>& value);

}  // namespace vaultline::cli
