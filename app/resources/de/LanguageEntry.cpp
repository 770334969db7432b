// The export of the German language library (build/drive/1031/language.so).
#include "resources/de/GermanTables.h"

extern "C" __attribute__((visibility("default"))) const MarrowbyResourceTable* MarrowbyResources() {
  static const MarrowbyResourceTable table = {
      MARROWBY_RESOURCE_VERSION,    1031,
      marrowby::kGermanStrings,     marrowby::kGermanStringCount,
      marrowby::kGermanMenuItems,   marrowby::kGermanMenuItemCount,
      marrowby::kGermanDialogTexts, marrowby::kGermanDialogTextCount,
  };
  return &table;
}
