#include "ProblemList.h"

#include "Console.h"
#include "vaultline/Text.h"

namespace vaultline::cli {

void PrintProblems(const std::vector<std::wstring>& problems) {
  for (const std::wstring& problem : problems) PrintError(problem);
}

nlohmann::json ProblemsJson(const std::vector<std::wstring>& problems) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::wstring& problem : problems) list.push_back(platform::ToDisplayUtf8(problem));
  return list;
}

}  // namespace vaultline::cli
