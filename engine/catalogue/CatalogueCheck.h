// Checks a catalogue: every snapshot entry, every directory record each
// snapshot reaches and every content record they point at; on request also
// every block of the data file and the index. Damage is reported through
// the status sink, listed, and remembered for the next backup; nothing else
// changes.
#pragma once

#include <vector>

#include "catalogue/CheckVisitor.h"

namespace vaultline {

class CatalogueFiles;
class KeyIndexKeeper;
class SnapshotList;
struct StoreContext;

class CatalogueCheck {
 public:
  CatalogueCheck(CatalogueFiles& files, SnapshotList& list, KeyIndexKeeper& keys,
                 StoreContext& context)
      : files_(files), list_(list), keys_(keys), context_(context) {}

  // False when cancelled.
  bool Run(bool readData, std::vector<CheckFinding>* findings);

 private:
  CatalogueFiles& files_;
  SnapshotList& list_;
  KeyIndexKeeper& keys_;
  StoreContext& context_;
};

}  // namespace vaultline
