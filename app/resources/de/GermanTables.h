// The German resource tables of the language library, one concept per file.
#pragma once

#include "resources/ResourceModel.h"

namespace marrowby {

extern const MarrowbyString kGermanStrings[];
extern const size_t kGermanStringCount;
extern const MarrowbyMenuItem kGermanMenuItems[];
extern const size_t kGermanMenuItemCount;
extern const MarrowbyDialogText kGermanDialogTexts[];
extern const size_t kGermanDialogTextCount;

}  // namespace marrowby
