// Turning the SEL, SNAP and ITEM arguments into what the engine takes.
#pragma once

#include <string>

#include "EngineSession.h"

namespace vaultline::cli {

// SEL: a selection's index, or else its exact name. Throws CommandError
// when no live selection matches, or when the name is not unique.
unsigned ResolveSelection(EngineSession& session, const std::wstring& selection);

// Throws CommandError with the engine's reason when the selection's
// snapshots cannot be read now, such as another process holding the
// selection (a backup, or a mount, which holds it until it ends).
void RequireSnapshotsReadable(EngineSession& session, unsigned selection);

// SNAP: an index (0 is the oldest) or "latest". Throws CommandError for a
// text that is neither (usage), for an index the selection does not have and
// as RequireSnapshotsReadable.
int ResolveSnapshot(EngineSession& session, unsigned selection, const std::wstring& snapshot);

// A path as `ls` prints it (the source's name first) as Restore takes it:
// relative to the source, without a trailing separator; empty for the
// source itself, which stands for the whole snapshot.
std::wstring RestoreItemOf(const std::wstring& listedPath);

// False for an index past the end and for a deleted selection's slot.
bool IsLiveSelection(EngineSession& session, unsigned selection);

// ITEM looked up among the paths of a snapshot, with or without the trailing
// separator of a folder. Throws CommandError when the snapshot lacks it.
struct ListedItem {
  std::wstring path;  // as the snapshot lists it
  bool isFolder = false;
};
ListedItem FindListedItem(EngineSession& session, unsigned selection, int snapshot,
                          const std::wstring& item);

// The source path of a live selection (empty when it has none).
// The message for a snapshot that cannot be read whole.
std::wstring DamagedSnapshotText(unsigned selection, int snapshot);

std::wstring SourceOf(EngineSession& session, unsigned selection);

}  // namespace vaultline::cli
