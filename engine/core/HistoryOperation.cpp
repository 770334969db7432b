// Reading the items of a selection's snapshots across snapshots: the details
// of one snapshot's items, the versions a search finds, and differences.
#include <algorithm>
#include <exception>

#include "catalogue/ItemFilter.h"
#include "catalogue/ListedPaths.h"
#include "catalogue/SnapshotDiff.h"
#include "catalogue/TreeVisitor.h"
#include "catalogue/VersionVisitor.h"
#include "core/Engine.h"
#include "platform/Text.h"
#include "vaultline/ItemHistory.h"

namespace vaultline {

bool Engine::ReadHistory(
    unsigned index, std::vector<std::wstring>* problems,
    const std::function<bool(SnapshotManager&, const ListedPaths&, const std::wstring&)>& work) {
  Profile* profile = ProfileAt(index);
  if (profile == nullptr || profile->deleted || profile->contents.empty()) {
    problems->push_back(L"There is no such selection");
    return false;
  }
  try {
    CatalogueCloser closer(this, profile);
    SnapshotManager* catalogue = OpenCatalogue(*profile, status_);
    if (catalogue == nullptr) {
      problems->push_back(L"The catalogue of this selection cannot be opened");
      return false;
    }
    catalogue->ListSnapshots();
    const std::wstring& source = profile->contents.front();
    return work(*catalogue, ListedPaths(source), source);
  } catch (const std::exception& error) {
    problems->push_back(platform::AnsiToWide(error.what()));
  } catch (...) {
    problems->push_back(L"The snapshots of this selection could not be read");
  }
  return false;
}

bool Engine::ListStoredItems(unsigned index, unsigned snapshot, std::vector<StoredItem>* items,
                             std::vector<std::wstring>* problems) {
  return ReadHistory(
      index, problems,
      [&](SnapshotManager& catalogue, const ListedPaths& paths, const std::wstring&) {
        TreeVisitor tree(paths);
        SubtreeWalk walk = catalogue.NewWalk();
        if (!catalogue.WalkSnapshot(static_cast<int>(snapshot), walk, tree, problems)) return false;
        for (const TreeVisitor::Item& item : tree.Items()) {
          items->push_back(catalogue.Describe(item.entry, item.listed));
          if (!items->back().damage.empty()) {
            problems->push_back(item.listed + L": " + items->back().damage);
          }
        }
        return true;
      });
}

bool Engine::FindVersions(unsigned index, const VersionSearch& search,
                          std::vector<ItemVersion>* versions, std::vector<std::wstring>* problems) {
  return ReadHistory(
      index, problems,
      [&](SnapshotManager& catalogue, const ListedPaths& paths, const std::wstring&) {
        const size_t count = catalogue.SnapshotTimes().size();
        if (count == 0 || search.firstSnapshot >= count) {
          problems->push_back(L"There is no such snapshot in this selection");
          return false;
        }
        const unsigned last =
            std::min<unsigned>(search.lastSnapshot, static_cast<unsigned>(count - 1));
        const ItemFilter filter(search);
        VersionVisitor visitor(filter, paths);
        for (unsigned snapshot = search.firstSnapshot; snapshot <= last; ++snapshot) {
          SubtreeWalk walk = catalogue.NewWalk();
          visitor.StartSnapshot(snapshot, walk);
          // A snapshot that cannot be read is named; the others are searched.
          catalogue.WalkSnapshot(static_cast<int>(snapshot), walk, visitor, problems);
        }
        for (const VersionVisitor::Found& found : visitor.Versions()) {
          versions->push_back(
              ItemVersion{catalogue.Describe(found.entry, found.listed), found.snapshots});
          if (!versions->back().item.damage.empty()) {
            problems->push_back(found.listed + L": " + versions->back().item.damage);
          }
        }
        std::stable_sort(versions->begin(), versions->end(),
                         [](const ItemVersion& a, const ItemVersion& b) {
                           if (a.item.path != b.item.path) return a.item.path < b.item.path;
                           return a.snapshots.front() < b.snapshots.front();
                         });
        return true;
      });
}

bool Engine::DiffSnapshots(unsigned index, unsigned from, unsigned to,
                           std::vector<ItemChange>* changes, std::vector<std::wstring>* problems) {
  return ReadHistory(
      index, problems,
      [&](SnapshotManager& catalogue, const ListedPaths& paths, const std::wstring&) {
        return DiffStoredSnapshots(catalogue, paths, static_cast<int>(from), static_cast<int>(to),
                                   changes, problems);
      });
}

bool Engine::DiffWithFolder(unsigned index, unsigned snapshot, const std::wstring& folder,
                            std::vector<ItemChange>* changes, std::vector<std::wstring>* problems) {
  return ReadHistory(
      index, problems,
      [&](SnapshotManager& catalogue, const ListedPaths& paths, const std::wstring& source) {
        return DiffSnapshotWithFolder(catalogue, paths, source, static_cast<int>(snapshot), folder,
                                      changes, problems);
      });
}

}  // namespace vaultline

namespace {

vaultline::Engine* Own(IVaultline* engine) {
  // The library hands out no other implementation of the interface.
  return dynamic_cast<vaultline::Engine*>(engine);
}

bool NoEngine(std::vector<std::wstring>* problems) {
  problems->push_back(L"There is no engine");
  return false;
}

}  // namespace

bool ListStoredItems(IVaultline* engine, unsigned profile, unsigned snapshot,
                     std::vector<StoredItem>* items, std::vector<std::wstring>* problems) {
  auto* own = Own(engine);
  return own != nullptr ? own->ListStoredItems(profile, snapshot, items, problems)
                        : NoEngine(problems);
}

bool FindItemVersions(IVaultline* engine, unsigned profile, const VersionSearch& search,
                      std::vector<ItemVersion>* versions, std::vector<std::wstring>* problems) {
  auto* own = Own(engine);
  return own != nullptr ? own->FindVersions(profile, search, versions, problems)
                        : NoEngine(problems);
}

bool DiffSnapshots(IVaultline* engine, unsigned profile, unsigned from, unsigned to,
                   std::vector<ItemChange>* changes, std::vector<std::wstring>* problems) {
  auto* own = Own(engine);
  return own != nullptr ? own->DiffSnapshots(profile, from, to, changes, problems)
                        : NoEngine(problems);
}

bool DiffWithFolder(IVaultline* engine, unsigned profile, unsigned snapshot,
                    const std::wstring& folder, std::vector<ItemChange>* changes,
                    std::vector<std::wstring>* problems) {
  auto* own = Own(engine);
  return own != nullptr ? own->DiffWithFolder(profile, snapshot, folder, changes, problems)
                        : NoEngine(problems);
}
