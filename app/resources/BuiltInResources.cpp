// The program's own resource module: the English tables linked in.
#include "resources/EnglishTables.h"

namespace marrowby {

const MarrowbyResourceTable& BuiltInResources() {
  static const MarrowbyResourceTable table = {
      MARROWBY_RESOURCE_VERSION, 1033,
      kEnglishStrings,           kEnglishStringCount,
      kEnglishMenuItems,         kEnglishMenuItemCount,
      kEnglishDialogTexts,       kEnglishDialogTextCount,
  };
  return table;
}

}  // namespace marrowby
