// Formatting of the system's message texts: exported whole (vaultline/Format.h).
#pragma once

#include "vaultline/Format.h"
