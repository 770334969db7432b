#!/usr/bin/env python3
"""What a long history costs: 50 snapshots of a generated tree with small changes between them.

Prints, each against its target: an unchanged backup after 1 and after 50
snapshots (the 50th at most 1.2x the 1st), listing the snapshots at 50 (under
20 ms), the bytes an unchanged backup reads at 50 (under 5 % of the directory
file), find of one name over all 50 snapshots (under 1 s), diff of the first
and the last snapshot (under 0.5 s), the time and space given back by
forgetting 40 of the 50 and compacting, and what the backup after that
costs. Uses the tree generator of end_to_end.py.

  bench/history.py [--cli build-release/drive/vaultline] [--scale 0.1]
"""

import os
import random
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import end_to_end  # noqa: E402


def timed(argv):
    """Wall seconds of a command and the bytes it read through read calls
    (rchar: the page cache would hide real reads), taken before it is reaped."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    os.waitid(os.P_PID, child.pid, os.WEXITED | os.WNOWAIT)
    wall = time.perf_counter() - start
    with open("/proc/%d/io" % child.pid) as f:
        rchar = int(next(line for line in f if line.startswith("rchar")).split()[1])
    _, err = child.communicate()
    if child.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(argv), child.returncode, err.decode()[-2000:]))
    return wall, rchar


def best(argv, runs=5):
    return min(timed(argv) for _ in range(runs))


def small_change(root, rng):
    """Edits a few text files in place, as a day of work might."""
    texts = [os.path.join(folder, name) for folder, _, names in os.walk(root)
             for name in names if name.endswith(".txt")]
    for path in rng.sample(texts, min(20, len(texts))):
        with open(path, "r+b") as f:
            f.write(rng.randbytes(16))


def changed_text(root):
    """The text file whose time is the newest: one that small_change edited."""
    texts = [os.path.join(folder, name) for folder, _, names in os.walk(root)
             for name in names if name.endswith(".txt")]
    return max(texts, key=lambda path: os.stat(path).st_mtime_ns)


def storage_bytes(drive):
    return sum(os.path.getsize(os.path.join(folder, name))
               for folder, _, names in os.walk(os.path.join(drive, "BackupStorage"))
               for name in names)


def store_file(drive, extension):
    for folder, _, names in os.walk(os.path.join(drive, "BackupStorage")):
        if "file" + extension in names:
            return os.path.join(folder, "file" + extension)
    sys.exit("no store file " + extension)


def settled_unchanged(vl):
    """The best of five unchanged backups, once the last change has settled:
    a file changed in the second of a backup cannot be told unchanged by its
    key (times are whole seconds), so the next backup stores it again. One
    backup a second later records it settled; the ones after are unchanged."""
    time.sleep(1.1)
    timed(vl + ["backup", "0"])
    return best(vl + ["backup", "0"])


def verdict(ok):
    return "met" if ok else "NOT met"


def main():
    parser = end_to_end.tree_arguments(__doc__, "/tmp/vaultline-history", scale=0.1)
    parser.add_argument("--snapshots", type=int, default=50)
    parser.add_argument("--keep-history", action="store_true",
                        help="stop before forgetting, leaving WORK/drive with every snapshot")
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    home, drive = os.path.join(args.work, "home"), os.path.join(args.work, "drive")
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(drive)
    tree = end_to_end.Tree(args.seed, args.scale)
    end_to_end.write_tree(tree, end_to_end.Content(args.seed), home)
    vl = [cli, "--drive", drive]
    timed(vl + ["create", "home", home])
    timed(vl + ["config", "max-backup-size", str(1 << 50)])
    timed(vl + ["backup", "0"])
    first, _ = settled_unchanged(vl)

    rng = random.Random(args.seed)
    while int(subprocess.check_output(vl + ["--json", "snapshots", "0"]).count(b'"index"')) < \
            args.snapshots:
        small_change(home, rng)
        timed(vl + ["backup", "0"])
    later, read = settled_unchanged(vl)
    listing, _ = best(vl + ["snapshots", "0"], runs=5)
    directory = os.path.getsize(store_file(drive, ".dir"))
    # One name of a file the history changed, so that it has several versions.
    name = os.path.basename(changed_text(home))
    find, _ = best(vl + ["find", "0", name])
    versions = subprocess.check_output(vl + ["--json", "find", "0", name]).count(b'"snapshots"')
    diff, _ = best(vl + ["diff", "0", "0", "latest"])
    changes = len(subprocess.check_output(vl + ["diff", "0", "0", "latest"]).splitlines()) - 1

    count = subprocess.check_output(vl + ["--json", "snapshots", "0"]).count(b'"index"')
    if args.keep_history:
        print("find %s over %d snapshots: %.3f s, %d versions; diff of the first and the last: "
              "%.3f s, %d items; the drive: %s" % (name, count, find, versions, diff, changes, drive))
        return
    before = storage_bytes(drive)
    compact, _ = timed(vl + ["forget", "0", "--keep-last", str(max(1, count - 40)), "--compact"])
    after = storage_bytes(drive)
    content = os.path.getsize(store_file(drive, ".fp"))
    again, again_read = timed(vl + ["backup", "0"])
    stored_again = os.path.getsize(store_file(drive, ".fp")) - content

    print("tree: %d files at scale %g; %d snapshots; directory file %.1f MiB"
          % (len(tree.files), args.scale, count, directory / 2**20))
    print("unchanged backup after 1 snapshot    %8.3f s" % first)
    print("unchanged backup after %d snapshots  %8.3f s  %.2fx the first (target <= 1.2x: %s)"
          % (args.snapshots, later, later / first, verdict(later <= 1.2 * first)))
    print("listing %d snapshots                 %8.1f ms (target < 20 ms: %s)"
          % (count, listing * 1000, verdict(listing < 0.020)))
    print("bytes read by that unchanged backup  %8d    %.2f %% of the directory file "
          "(target < 5 %%: %s)" % (read, 100 * read / directory, verdict(read < 0.05 * directory)))
    print("find %s over %d snapshots   %8.3f s  %d versions (target < 1 s: %s)"
          % (name, count, find, versions, verdict(find < 1)))
    print("diff of the first and the last       %8.3f s  %d items (target < 0.5 s: %s)"
          % (diff, changes, verdict(diff < 0.5)))
    print("forget 40 and compact                %8.3f s  %.1f MiB -> %.1f MiB (%.1f MiB back)"
          % (compact, before / 2**20, after / 2**20, (before - after) / 2**20))
    print("the backup after compacting          %8.3f s  %d bytes of contents stored again, "
          "%d bytes read (it rebuilds the key index)" % (again, stored_again, again_read))


if __name__ == "__main__":
    main()
