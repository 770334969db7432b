// create NAME SOURCE: a new Backup Selection, its index on standard output.
#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "JsonText.h"
#include "QuotaAdvice.h"
#include "SourceArgument.h"

namespace vaultline::cli {

int RunCreate(EngineSession& session, const std::wstring& name, const std::wstring& source) {
  if (name.find_first_not_of(L" \t") == std::wstring::npos) {
    throw CommandError{kExitUsage, EnglishText(kTextNameMissing)};
  }
  const std::wstring path = CheckedSourcePath(session, source);
  const wchar_t* contents[] = {path.c_str()};
  int index = -1;
  if (!session.engine().CreateProfile(name.c_str(), contents, 1, &index)) {
    throw CommandError{kExitFailure, L"the Backup Selection \"" + name + L"\" could not be saved"};
  }
  if (session.options().json) {
    nlohmann::json document = {{"index", index}};
    PutText(document, "name", name);
    PutText(document, "source", path);
    PrintJson(document);
  } else {
    PrintLine(std::to_wstring(index));
  }
  PrintQuotaInForce(session.engine());
  return kExitSuccess;
}

}  // namespace vaultline::cli
