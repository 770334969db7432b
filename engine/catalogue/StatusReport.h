// Messages of a catalogue operation to the status sink of the operation that
// runs it; nothing is said when it has none.
#pragma once

#include <string>

namespace vaultline {

struct StoreContext;

void ReportStatus(const StoreContext& context, int level, const std::wstring& text);
// The catalogue's files could not be opened or read.
void ReportLoadFailure(const StoreContext& context);

}  // namespace vaultline
