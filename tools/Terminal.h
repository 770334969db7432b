// Whether a standard stream is an interactive terminal (_isatty), and how
// wide it is, for front ends that redraw a progress line in place.
#pragma once

namespace vaultline::cli {

bool StandardErrorIsTerminal();
// Columns of the terminal on standard error; 80 when it cannot be told.
int StandardErrorColumns();

}  // namespace vaultline::cli
