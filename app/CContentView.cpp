#include "CContentView.h"

#include <QDateTime>
#include <QHeaderView>
#include <cwchar>

#include "AppStrings.h"
#include "SizeText.h"
#include "SnapshotTimeText.h"
#include "resources/ResourceIds.h"
#include "vaultline/Path.h"

namespace {
constexpr int kNodeRole = Qt::UserRole;

// Before the tree is inserted anew: no node's children are in it.
void ForgetPopulated(ContentNode& node) {
  node.populated = false;
  for (auto& [name, child] : node.children) ForgetPopulated(*child);
}

}  // namespace

CContentView::CContentView(QWidget* parent) : MenuTree(marrowby::menu::kContentItem, parent) {
  setObjectName(QStringLiteral("contentTree"));
  setColumnCount(3);
  setHeaderLabels({LoadString(marrowby::ids::kColumnName), LoadString(marrowby::ids::kColumnSize),
                   LoadString(marrowby::ids::kColumnModified)});
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::Stretch);
  header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setRootIsDecorated(true);
  setExpandsOnDoubleClick(true);
  setUniformRowHeights(true);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setMinimumSize(1, 1);
  setAccessibleName(LoadString(marrowby::ids::kContentTreeName));
  connect(this, &QTreeWidget::itemExpanded, this, &CContentView::OnItemExpanded);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CContentView::contentSelectionChanged);
}

void CContentView::Fill(const std::vector<std::wstring>& paths, const std::wstring& snapshotName,
                        const std::vector<std::wstring>& details, std::vector<std::wstring> kinds) {
  Clear();
  kinds_ = std::move(kinds);
  // Details that do not match the paths one for one are not shown at all.
  if (details.size() == paths.size()) {
    for (const std::wstring& text : details) {
      const size_t tab = text.find(L'\t');
      Details parsed;
      if (tab != std::wstring::npos) {
        parsed.size = std::wcstoll(text.c_str(), nullptr, 10);
        parsed.modified = std::wcstoll(text.c_str() + tab + 1, nullptr, 10);
      }
      details_.push_back(parsed);
    }
  }
  BuildContentTree(root_, paths);
  snapshotName_ = snapshotName;
  InsertTopLevel();
}

void CContentView::SetFilter(const SearchPattern& pattern) {
  filter_ = pattern;
  InsertTopLevel();
}

void CContentView::InsertTopLevel() {
  clear();
  ForgetPopulated(root_);
  matches_ = 0;
  QTreeWidgetItem* firstMatch = nullptr;
  for (ContentNode* node : root_.OrderedChildren()) {
    if (filter_.IsEmpty()) {
      InsertNode(node, nullptr, true);
    } else if (QTreeWidgetItem* match = InsertMatching(node, nullptr); firstMatch == nullptr) {
      firstMatch = match;
    }
  }
  QTreeWidgetItem* first = topLevelItem(0);
  if (first == nullptr) return;
  if (!snapshotName_.empty()) {
    first->setText(0, first->text(0) + QStringLiteral(" [ ") +
                          LoadString(marrowby::ids::kSnapshotLabel) + ToQString(snapshotName_) +
                          QStringLiteral(" ]"));
  }
  if (!filter_.IsEmpty()) {
    if (firstMatch == nullptr) {
      // Said in the tree itself: an empty tree would look like an empty snapshot.
      auto* none = new QTreeWidgetItem(first);
      none->setText(0, LoadString(marrowby::ids::kNoSearchMatch));
      none->setFlags(Qt::ItemIsEnabled);
      none->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
      first->setExpanded(true);
      firstMatch = first;
    }
    setCurrentItem(firstMatch);
    scrollToItem(firstMatch);
    return;
  }
  if (first->childCount() > 0) first->setExpanded(true);
  // The first item starts as the current one, as a tree control selects it
  // when it takes the focus: Restore then covers the whole snapshot.
  setCurrentItem(first);
  scrollToItem(first, QAbstractItemView::PositionAtTop);
}

bool CContentView::MatchesFilter(const ContentNode& node) const {
  // The source folder itself is the snapshot, no match of its own.
  if (node.parent == &root_ && node.folder) return false;
  if (!filter_.OnPath()) return filter_.Matches(ToQString(node.name));
  const std::wstring path = node.Path();
  const size_t first = path.find(vaultline::platform::kSeparator);
  return filter_.Matches(ToQString(first == std::wstring::npos ? path : path.substr(first + 1)));
}

QTreeWidgetItem* CContentView::InsertMatching(ContentNode* node, QTreeWidgetItem* parent) {
  QTreeWidgetItem* item = MakeItem(node, parent);
  QTreeWidgetItem* first = nullptr;
  if (MatchesFilter(*node)) {
    ++matches_;
    first = item;
  }
  node->populated = true;
  for (ContentNode* child : node->OrderedChildren()) {
    QTreeWidgetItem* found = InsertMatching(child, item);
    if (first == nullptr) first = found;
  }
  if (first == nullptr && parent != nullptr) {
    delete item;
    return nullptr;
  }
  if (item->childCount() > 0) {
    item->setExpanded(true);
  } else if (first == item && !node->children.empty()) {
    // A folder found by its name opens to all it holds.
    node->populated = false;
    new QTreeWidgetItem(item);
  }
  return first;
}

void CContentView::Clear() {
  clear();
  root_.children.clear();
  details_.clear();
}

QTreeWidgetItem* CContentView::InsertNode(ContentNode* node, QTreeWidgetItem* parent,
                                          bool expanded) {
  QTreeWidgetItem* item = MakeItem(node, parent);
  if (expanded) {
    InsertChildren(node, item);
  } else if (!node->children.empty()) {
    new QTreeWidgetItem(item);  // placeholder: shows the expand button
  }
  return item;
}

QTreeWidgetItem* CContentView::MakeItem(ContentNode* node, QTreeWidgetItem* parent) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  QString name = ToQString(node->name);
  item->setText(0, name);
  item->setIcon(0, node->folder ? icons_.FolderIcon() : icons_.FileIcon(name));
  // A link shows where it points ("name -> target"), a special file its kind.
  const size_t index = static_cast<size_t>(node->entryIndex);
  if (node->entryIndex >= 0 && index < kinds_.size() && !kinds_[index].empty()) {
    const std::wstring& kind = kinds_[index];
    const size_t tab = kind.find(L'\t');
    const bool link = kind.starts_with(L"link\t");
    item->setText(0, name + (link ? QStringLiteral(" -> ") + ToQString(kind.substr(tab + 1))
                                  : QStringLiteral(" (") + ToQString(kind.substr(0, tab)) +
                                        QStringLiteral(")")));
    item->setToolTip(0, ToQString(kind.substr(0, tab)));
  }
  item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
  if (node->entryIndex >= 0 && static_cast<size_t>(node->entryIndex) < details_.size()) {
    const Details& known = details_[static_cast<size_t>(node->entryIndex)];
    if (known.size >= 0 && !node->folder) item->setText(1, SizeText(known.size));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    if (known.size >= 0) {
      item->setText(2, DateTimeText(QDateTime::fromSecsSinceEpoch(known.modified)));
    }
  }
  return item;
}

void CContentView::InsertChildren(ContentNode* node, QTreeWidgetItem* item) {
  node->populated = true;
  for (ContentNode* child : node->OrderedChildren()) InsertNode(child, item, false);
}

void CContentView::OnItemExpanded(QTreeWidgetItem* item) {
  auto* node = const_cast<ContentNode*>(NodeOf(item));
  if (node == nullptr || node->populated) return;
  qDeleteAll(item->takeChildren());
  InsertChildren(node, item);
}

const ContentNode* CContentView::NodeOf(const QTreeWidgetItem* item) const {
  if (item == nullptr) return nullptr;
  return reinterpret_cast<const ContentNode*>(item->data(0, kNodeRole).value<quintptr>());
}

const ContentNode* CContentView::SelectedNode() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? nullptr : NodeOf(selected.first());
}

int CContentView::SelectedEntryIndex() const {
  const ContentNode* node = SelectedNode();
  return node != nullptr ? node->entryIndex : -1;
}

bool CContentView::SelectedIsFolder() const {
  const ContentNode* node = SelectedNode();
  return node != nullptr && node->folder;
}

bool CContentView::HasSelectedFile() const {
  const ContentNode* node = SelectedNode();
  return node != nullptr && !node->folder;
}

std::wstring CContentView::SelectedDisplayPath(int* entryIndex) const {
  const ContentNode* node = SelectedNode();
  if (entryIndex != nullptr) *entryIndex = node != nullptr ? node->entryIndex : -1;
  return node != nullptr ? node->Path() : std::wstring();
}

std::wstring CContentView::SelectedNodePath() const {
  return SelectedDisplayPath();
}

std::wstring CContentView::SelectedParentPath() const {
  const ContentNode* node = SelectedNode();
  return node != nullptr && node->parent != nullptr ? node->parent->Path() : std::wstring();
}

void CContentView::RowDoubleClicked() {
  emit contentActivated();
  emit viewFileRequested();
}

bool CContentView::RowEntered() {
  emit contentActivated();
  return true;
}
