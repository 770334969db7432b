// The resource model: strings, menus and the texts of dialogs, keyed by the
// numeric identifiers of ResourceIds.h. The program links its own (English)
// tables; a language library exports the same layout through one plain C
// function, so the records here are plain C data with fixed layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frontend/StringEntry.h"

extern "C" {

// One item of a menu resource. Items of one menu follow each other in display
// order; `level` 0 is a popup heading (command 0), level 1 its items. A null
// text is a separator.
struct MarrowbyMenuItem {
  unsigned menu;
  int level;
  unsigned command;
  const wchar_t* text;
};

// The text of one control of a dialog template; control 0 is the caption.
struct MarrowbyDialogText {
  unsigned dialog;
  unsigned control;
  const wchar_t* text;
};

// Bumped whenever the layout above changes; a library with another version
// is not loaded.
#define MARROWBY_RESOURCE_VERSION 1

struct MarrowbyResourceTable {
  int version;
  uint32_t language;  // locale identifier of the texts (1033 for the program's own)
  const MarrowbyString* strings;
  size_t stringCount;
  const MarrowbyMenuItem* menuItems;
  size_t menuItemCount;
  const MarrowbyDialogText* dialogTexts;
  size_t dialogTextCount;
};

// The one export of a language library.
#define MARROWBY_RESOURCE_ENTRY "MarrowbyResources"
typedef const MarrowbyResourceTable* (*MarrowbyResourcesFunction)(void);

}  // extern "C"

namespace marrowby {
// The program's own tables (English).
const MarrowbyResourceTable& BuiltInResources();
}  // namespace marrowby
