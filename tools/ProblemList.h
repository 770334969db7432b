// The texts the engine gives for what a reading of snapshots could not read:
// each printed as an error, or as the JSON array "problems".
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vaultline::cli {

void PrintProblems(const std::vector<std::wstring>& problems);
nlohmann::json ProblemsJson(const std::vector<std::wstring>& problems);

}  // namespace vaultline::cli
