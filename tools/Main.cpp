// vaultline: the command line over the Vaultline engine.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "BackupNotice.h"
#include "CommandError.h"
#include "Commands.h"
#include "Console.h"
#include "vaultline/Text.h"

namespace vaultline::cli {
namespace {

constexpr const char* kUsage =
    "usage: vaultline [--drive DIR] [--json] [-v] COMMAND [ARGS]   (or --help, --version)\n"
    "  list                              selections: index, name, source, snapshots\n"
    "  create NAME SOURCE                new Backup Selection; prints its index\n"
    "  rename SEL NAME                   rename a selection\n"
    "  delete SEL                        delete a selection with its storage\n"
    "  relocate SEL PATH                 the source was moved to PATH: back that up from now on\n"
    "  backup SEL                        take a snapshot\n"
    "  backup --all                      a snapshot of every selection in turn\n"
    "  backup ... --notify               also tell the outcome on the desktop\n"
    "  snapshots SEL                     each snapshot, oldest first: index, time, files, size,\n"
    "                                    new data stored, items skipped\n"
    "  ls SEL [SNAP] [-l]                the stored paths of a snapshot (-l: type, mode,\n"
    "                                    owner, size, time, link target)\n"
    "  find SEL PATTERN... [--newer T] [--older T] [--first SNAP] [--last SNAP]\n"
    "                                    each version of the matching items in all snapshots\n"
    "  diff SEL SNAP SNAP                items added, removed and changed between snapshots\n"
    "  diff SEL SNAP --with PATH         ... between a snapshot and a folder as it is now\n"
    "  restore SEL SNAP [ITEM] --to DIR [--overwrite keep-newer|replace|keep-both]\n"
    "                                    restore the whole snapshot, or ITEM\n"
    "  cat SEL SNAP ITEM                 write one stored file to standard output\n"
    "  mount SEL DIR                     the snapshots as read-only folders at DIR, until\n"
    "                                    Ctrl-C or fusermount3 -u DIR\n"
    "  check SEL [--read-data]           find damage in the stored snapshots\n"
    "  forget SEL SNAP...                forget snapshots; their space comes back by compact\n"
    "  forget SEL --keep-last N [--keep-daily N] [--keep-weekly N] [--keep-monthly N]\n"
    "                                    forget what the policy does not keep (--dry-run,\n"
    "                                    --compact)\n"
    "  compact SEL                       give back the space of forgotten snapshots\n"
    "  config [KEY [VALUE]]              max-file-size, max-backup-size (bytes)\n"
    "  exclude SEL                       the selection's exclusion patterns\n"
    "  exclude SEL add|remove PATTERN... change them (*.tmp, node_modules/, /build)\n"
    "  exclude SEL test PATH             would PATH be backed up, and which pattern decides\n"
    "SEL: index or exact name. SNAP: index (0 is the oldest) or \"latest\".\n"
    "ITEM: a path as ls prints it. Run vaultline --help for more.\n";

std::optional<std::wstring> OptionalText(const std::optional<std::string>& argument) {
  if (!argument) return std::nullopt;
  return ArgumentText(*argument);
}

int Run(int argc, char** argv) {
  CLI::App app{"Snapshot backups of the Brindle+ drive.", "vaultline"};
  app.footer(
      "SEL is a selection's index or exact name; SNAP a snapshot index (0 is the oldest) or\n"
      "\"latest\"; ITEM a path as ls prints it. Exit status: 0 success, 1 failure or an error\n"
      "reported, 2 usage error, 3 snapshot taken but files skipped or unreadable.");
  GlobalOptions options;
  app.add_option("--drive", options.drive,
                 "folder that stands for the program's folder (storage in DIR/BackupStorage/)")
      ->type_name("DIR");
  app.add_flag("--json", options.json,
               "one JSON document on standard output (every command but rename, delete and cat)");
  app.set_version_flag("--version", "vaultline " VAULTLINE_VERSION);
  app.add_flag("-v,--verbose", options.verbosity, "show information (-vv: trace) messages");
  app.require_subcommand(1, 1);
  app.fallthrough();

  std::string selection, name, source, snapshot, destination;
  std::optional<std::string> item, key, value;
  CLI::App* list = app.add_subcommand("list", "index, name, source path, number of snapshots");
  CLI::App* create = app.add_subcommand("create", "new Backup Selection; prints its index");
  create->add_option("NAME", name)->required();
  create->add_option("SOURCE", source, "file or folder to back up")->required();
  CLI::App* rename = app.add_subcommand("rename", "rename a Backup Selection");
  rename->add_option("SEL", selection)->required();
  rename->add_option("NAME", name)->required();
  CLI::App* remove = app.add_subcommand("delete", "delete a Backup Selection with its storage");
  remove->add_option("SEL", selection)->required();
  CLI::App* relocate = app.add_subcommand(
      "relocate", "the source was moved to PATH: back that up from now on, keeping the snapshots");
  relocate->add_option("SEL", selection)->required();
  relocate->add_option("PATH", source)->required();
  bool backupAll = false;
  CLI::App* backup = app.add_subcommand("backup", "take a snapshot");
  backup->add_option("SEL", selection);
  backup->add_flag("--all", backupAll,
                   "every selection in turn; one failing does not stop the others, the exit "
                   "status is the worst");
  bool notify = false;
  backup->add_flag("--notify", notify, "also tell the outcome in the desktop's notification area");
  CLI::App* snapshots =
      app.add_subcommand("snapshots", "each snapshot: time, files, size, new data, skipped");
  snapshots->add_option("SEL", selection)->required();
  CLI::App* ls = app.add_subcommand("ls", "the stored paths of a snapshot (default: latest)");
  ls->add_option("SEL", selection)->required();
  ls->add_option("SNAP", snapshot)->default_str("latest");
  bool longListing = false;
  ls->add_flag("-l,--long", longListing, "type, mode, owner, size, time and link target");
  std::vector<std::string> findPatterns;
  std::optional<std::string> newer, older;
  std::string firstSnapshot = "0", lastSnapshot = "latest";
  CLI::App* find =
      app.add_subcommand("find", "each version of the matching items in all snapshots");
  find->add_option("SEL", selection)->required();
  find->add_option("PATTERN", findPatterns,
                   "shell wildcards on the name, or on the whole path when it holds a /")
      ->required();
  find->add_option("--newer", newer, "modified after T (YYYY-MM-DD[ HH:MM[:SS]], or @SECONDS)")
      ->type_name("T");
  find->add_option("--older", older, "modified before T")->type_name("T");
  find->add_option("--first", firstSnapshot, "the first snapshot searched (default 0)")
      ->type_name("SNAP");
  find->add_option("--last", lastSnapshot, "the last snapshot searched (default latest)")
      ->type_name("SNAP");
  std::string diffFrom, diffTo;
  std::optional<std::string> diffWith;
  CLI::App* diff = app.add_subcommand("diff", "items added, removed and changed");
  diff->add_option("SEL", selection)->required();
  diff->add_option("SNAP", diffFrom)->required();
  auto* diffSecond = diff->add_option("SNAP2", diffTo, "the later snapshot");
  diff->add_option("--with", diffWith, "a folder as it is now, instead of a second snapshot")
      ->type_name("PATH")
      ->excludes(diffSecond);
  CLI::App* restore = app.add_subcommand("restore", "restore the whole snapshot, or ITEM");
  restore->add_option("SEL", selection)->required();
  restore->add_option("SNAP", snapshot)->required();
  restore->add_option("ITEM", item);
  restore->add_option("--to", destination, "folder to restore into")->required()->type_name("DIR");
  std::string overwrite = "keep-newer";
  restore
      ->add_option("--overwrite", overwrite,
                   "a file already there: keep-newer (replaced unless it is newer), replace, "
                   "keep-both (the restored one renamed)")
      ->check(CLI::IsMember({"keep-newer", "replace", "keep-both"}))
      ->type_name("RULE");
  CLI::App* cat = app.add_subcommand("cat", "write one stored file to standard output");
  cat->add_option("SEL", selection)->required();
  cat->add_option("SNAP", snapshot)->required();
  cat->add_option("ITEM", item)->required();
  bool readData = false;
  std::string mountFolder;
  CLI::App* mount = app.add_subcommand("mount", "the snapshots as read-only folders at DIR (FUSE)");
  mount->add_option("SEL", selection)->required();
  mount->add_option("DIR", mountFolder)->required();
  CLI::App* check = app.add_subcommand("check", "find damage in the stored snapshots");
  check->add_option("SEL", selection)->required();
  check->add_flag("--read-data", readData, "also read every stored block and check its MD5");
  std::vector<std::string> forgetSnapshots;
  KeepPolicy keep;
  bool dryRun = false;
  bool compactAfter = false;
  CLI::App* forget = app.add_subcommand("forget", "forget snapshots, by index or by a policy");
  forget->add_option("SEL", selection)->required();
  forget->add_option("SNAP", forgetSnapshots, "snapshot indices (or \"latest\")");
  forget->add_option("--keep-last", keep.last, "keep the newest N snapshots")
      ->check(CLI::NonNegativeNumber);
  forget->add_option("--keep-daily", keep.daily, "keep the newest snapshot of each of N days")
      ->check(CLI::NonNegativeNumber);
  forget->add_option("--keep-weekly", keep.weekly, "keep the newest snapshot of each of N weeks")
      ->check(CLI::NonNegativeNumber);
  forget->add_option("--keep-monthly", keep.monthly, "keep the newest snapshot of each of N months")
      ->check(CLI::NonNegativeNumber);
  forget->add_flag("--dry-run", dryRun, "list what would be forgotten, change nothing");
  forget->add_flag("--compact", compactAfter, "compact the selection afterwards");
  CLI::App* compact = app.add_subcommand("compact", "give back the space of forgotten snapshots");
  compact->add_option("SEL", selection)->required();
  CLI::App* config = app.add_subcommand("config", "show or set max-file-size, max-backup-size");
  config->add_option("KEY", key);
  config->add_option("VALUE", value);
  std::vector<std::string> excludeWords;
  CLI::App* exclude =
      app.add_subcommand("exclude", "list, add, remove or test the exclusion patterns");
  exclude->add_option("SEL", selection)->required();
  exclude->add_option("ACTION", excludeWords, "add PATTERN..., remove PATTERN... or test PATH");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help
    std::fprintf(stderr, "error: %s\n%s", error.what(), kUsage);
    return kExitUsage;
  }
  if (snapshot.empty()) snapshot = "latest";
  if (*backup && backupAll == !selection.empty()) {
    std::fprintf(stderr, "error: backup takes either SEL or --all\n%s", kUsage);
    return kExitUsage;
  }
  // An empty path would silently stand for the current folder.
  if ((app.count("--drive") > 0 && options.drive.empty()) || (*restore && destination.empty()) ||
      (*mount && mountFolder.empty())) {
    std::fprintf(stderr, "error: an empty folder name was given\n%s", kUsage);
    return kExitUsage;
  }

  try {
    EngineSession session(options);
    const std::wstring sel = ArgumentText(selection);
    const std::wstring snap = ArgumentText(snapshot);
    if (*list) return RunList(session);
    if (*create) return RunCreate(session, ArgumentText(name), ArgumentText(source));
    if (*rename) return RunRename(session, sel, ArgumentText(name));
    if (*remove) return RunDelete(session, sel);
    if (*relocate) return RunRelocate(session, sel, ArgumentText(source));
    if (*backup) return backupAll ? RunBackupAll(session, notify) : RunBackup(session, sel, notify);
    if (*snapshots) return RunSnapshots(session, sel);
    if (*ls) return longListing ? RunLsLong(session, sel, snap) : RunLs(session, sel, snap);
    if (*find) {
      FindOptions findOptions;
      for (const std::string& pattern : findPatterns) {
        findOptions.patterns.push_back(ArgumentText(pattern));
      }
      findOptions.newer = OptionalText(newer);
      findOptions.older = OptionalText(older);
      findOptions.first = ArgumentText(firstSnapshot);
      findOptions.last = ArgumentText(lastSnapshot);
      return RunFind(session, sel, findOptions);
    }
    if (*diff) {
      if (!diffWith && diffTo.empty()) {
        throw CommandError{kExitUsage, L"diff needs a second snapshot or --with PATH"};
      }
      return RunDiff(session, sel, ArgumentText(diffFrom),
                     diffWith ? ArgumentText(*diffWith) : ArgumentText(diffTo),
                     diffWith.has_value());
    }
    if (*restore)
      return RunRestore(session, sel, snap, OptionalText(item), ArgumentText(destination),
                        ConflictRuleNamed(overwrite));
    if (*cat) return RunCat(session, sel, snap, ArgumentText(*item));
    if (*check) return RunCheck(session, sel, readData);
    if (*mount) return RunMount(session, sel, ArgumentText(mountFolder));
    if (*exclude) {
      std::vector<std::wstring> words;
      for (const std::string& word : excludeWords) words.push_back(ArgumentText(word));
      return RunExclude(session, sel, words);
    }
    if (*forget) {
      std::vector<std::wstring> snaps;
      for (const std::string& text : forgetSnapshots) snaps.push_back(ArgumentText(text));
      return RunForget(session, sel, snaps, keep, dryRun, compactAfter);
    }
    if (*compact) return RunCompact(session, sel);
    if (*config) return RunConfig(session, OptionalText(key), OptionalText(value));
  } catch (const CommandError& error) {
    PrintError(error.message);
    // A backup that could not begin (no drive, no selection) is an outcome too.
    if (*backup && notify) NotifyBackupOutcome(error.code, {error.message});
    if (error.code == kExitUsage) std::fputs(kUsage, stderr);
    return error.code;
  } catch (const std::exception& error) {
    PrintError(platform::AnsiToWide(error.what()));
    return kExitFailure;
  } catch (...) {
    PrintError(L"unexpected failure");
    return kExitFailure;
  }
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

}  // namespace
}  // namespace vaultline::cli

int main(int argc, char** argv) {
  return vaultline::cli::Run(argc, argv);
}
