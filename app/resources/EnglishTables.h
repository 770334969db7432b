// The program's own resource tables (English), defined one concept per file.
#pragma once

#include "frontend/EnglishStrings.h"
#include "resources/ResourceModel.h"

namespace marrowby {

extern const MarrowbyMenuItem kEnglishMenuItems[];
extern const size_t kEnglishMenuItemCount;
extern const MarrowbyDialogText kEnglishDialogTexts[];
extern const size_t kEnglishDialogTextCount;

}  // namespace marrowby
