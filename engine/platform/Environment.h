// The process environment (SetEnvironmentVariableW). The program-folder
// override lives in each copy of this layer, so a front end that links the
// layer beside the engine library hands --drive to the library this way.
#pragma once

#include <string_view>

namespace vaultline::platform {

// Sets (replacing) an environment variable of this process; false on failure.
bool SetEnvironmentValue(std::wstring_view name, std::wstring_view value);

}  // namespace vaultline::platform
