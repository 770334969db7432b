#include "catalogue/CatalogueCheck.h"

#include "blockstore/BlockStore.h"
#include "blockstore/StoreContext.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/KeyIndexKeeper.h"
#include "catalogue/SnapshotList.h"
#include "catalogue/StatusReport.h"
#include "platform/Format.h"
#include "vaultline/Vaultline.h"

namespace vaultline {

bool CatalogueCheck::Run(bool readData, std::vector<CheckFinding>* findings) {
  context_.cancelled = false;
  BlockStore& store = files_.Store();
  const size_t before = findings->size();
  if (readData) {
    std::vector<std::wstring> problems;
    store.CheckData(&problems);
    for (std::wstring& problem : problems) findings->push_back({-1, L"", std::move(problem)});
  }
  list_.Read();
  CheckVisitor::Results results;
  for (size_t i = 0; i < list_.Count() && !context_.cancelled; ++i) {
    const int index = static_cast<int>(i);
    if (list_.IsDamaged(index)) {
      findings->push_back({index, L"", L"the snapshot entry is damaged"});
      continue;
    }
    const SourceRange& range = list_.Range(index);
    if (range.rootOffset == range.endOffset) continue;
    CheckVisitor visitor(store, files_.ContentFd(), context_, readData, index, &results, findings);
    SubtreeWalk walk = files_.NewWalk();
    walk.Walk(range.rootOffset, 1, visitor);
    for (const DamagedFolder& damaged : walk.Damage()) {
      store.Damage().Add(DamageMemory::Kind::kChildren, damaged.firstChild);
      findings->push_back(
          {index, damaged.folder,
           platform::FormatWide(L"%d damaged record(s) of its listing", damaged.records)});
    }
  }
  // An index made of records now found damaged would still point at them.
  if (findings->size() > before) keys_.RemoveSidecar();
  for (size_t i = before; i < findings->size(); ++i) {
    const CheckFinding& finding = (*findings)[i];
    const std::wstring what =
        finding.path.empty() ? finding.what : finding.path + L": " + finding.what;
    ReportStatus(context_, kMessageError,
                 finding.snapshot < 0 ? L"The store is damaged: " + what
                                      : platform::FormatWide(L"Snapshot %d is damaged: %ls",
                                                             finding.snapshot, what.c_str()));
  }
  if (context_.status != nullptr) {
    context_.cancelled = context_.status->IsCancelled() || context_.cancelled;
  }
  return !context_.cancelled;
}

}  // namespace vaultline
