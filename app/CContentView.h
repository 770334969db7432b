// The content tree of the chosen snapshot (upper right pane). Built from the
// engine's item paths; children are inserted when a folder is first expanded.
#pragma once

#include <string>
#include <vector>

#include "ContentNode.h"
#include "FileIconCache.h"
#include "MenuTree.h"
#include "history/SearchPattern.h"

class CContentView : public MenuTree {
  Q_OBJECT

 public:
  explicit CContentView(QWidget* parent = nullptr);

  // Rebuilds the tree from the snapshot's paths. A non-empty snapshot name
  // decorates the first top-level item. `details` ("SIZE\tTIME" for each
  // path, GetSnapshotItemDetails) fills the size and date columns; without
  // them those stay empty. `kinds` says what each path is, as
  // GetSnapshotItemKinds does: links show their targets, special files what
  // they are.
  void Fill(const std::vector<std::wstring>& paths, const std::wstring& snapshotName,
            const std::vector<std::wstring>& details = {}, std::vector<std::wstring> kinds = {});
  void Clear();
  // Shows only the items whose name (or path) matches, with the folders that
  // lead to them, opened; the first match becomes the current item. An empty
  // pattern shows the whole tree again. Kept across refills.
  void SetFilter(const SearchPattern& pattern);
  // Items shown for the filter; -1 when none is set.
  int FilterMatches() const { return filter_.IsEmpty() ? -1 : matches_; }

  // -1 when nothing is selected.
  int SelectedEntryIndex() const;
  bool SelectedIsFolder() const;
  bool HasSelectedFile() const;
  // Node names of the selected item and its ancestors, joined with separators
  // (the decoration of the first item is not part of it); empty when nothing
  // is selected, with entryIndex set to -1.
  std::wstring SelectedDisplayPath(int* entryIndex = nullptr) const;
  std::wstring SelectedNodePath() const;
  std::wstring SelectedParentPath() const;

 signals:
  void contentSelectionChanged();
  void contentActivated();
  void viewFileRequested();

 protected:
  // A double click views the file; Return and Enter activate the item.
  void RowDoubleClicked() override;
  bool RowEntered() override;

 private:
  const ContentNode* NodeOf(const QTreeWidgetItem* item) const;
  const ContentNode* SelectedNode() const;
  QTreeWidgetItem* InsertNode(ContentNode* node, QTreeWidgetItem* parent, bool expanded);
  // The item of `node` with its texts and icon, without children.
  QTreeWidgetItem* MakeItem(ContentNode* node, QTreeWidgetItem* parent);
  void InsertChildren(ContentNode* node, QTreeWidgetItem* item);
  void OnItemExpanded(QTreeWidgetItem* item);
  // Inserts the top level, whole or as the filter leaves it.
  void InsertTopLevel();
  // Inserts `node` when it or something below it matches the filter; the
  // first matching item it inserts, or null.
  QTreeWidgetItem* InsertMatching(ContentNode* node, QTreeWidgetItem* parent);
  bool MatchesFilter(const ContentNode& node) const;

  // Size and time of the path with the same index; -1 size: not known.
  struct Details {
    int64_t size = -1;
    int64_t modified = 0;
  };
  std::vector<Details> details_;
  ContentNode root_;
  std::wstring snapshotName_;
  SearchPattern filter_;
  int matches_ = 0;
  std::vector<std::wstring> kinds_;
  FileIconCache icons_;
};
