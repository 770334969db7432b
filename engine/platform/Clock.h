// Time services: exported whole (vaultline/Clock.h).
#pragma once

#include "vaultline/Clock.h"
