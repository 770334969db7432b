// VAULTLINE_API marks what libvaultline.so exports; the version script
// (engine/vaultline.map) names the same functions.
#pragma once

#if defined(VAULTLINE_BUILDING)
#define VAULTLINE_API __attribute__((visibility("default")))
#else
#define VAULTLINE_API
#endif
