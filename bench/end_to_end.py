#!/usr/bin/env python3
"""End-to-end figures of the command line on a generated home-folder tree.

Generates (once, reused while seed and scale stay the same) a tree shaped like
a home folder: small text-like files with exact duplicates, medium files half
text half random, a few large ones, in folders five deep. Then, with the built
command line and a fresh drive, it measures the first backup, an unchanged
backup, a backup after a 1 % change and a full restore checked byte for byte:
wall time, CPU time and peak RSS of each. In the same run it measures
single-core MD5 throughput (openssl speed -evp md5, 8 KiB blocks) and a find
walk of the tree, and prints every figure with its ratio and target.

  bench/end_to_end.py --cli build-release/drive/vaultline --work /tmp/e2e
  bench/end_to_end.py --scale 0.25 ...   (a quarter of the 1 GiB tree)
  bench/end_to_end.py --restore-to /dev/shm/e2e-restored ...

Each step starts after a sync, so that write-back of the step before (or of
the copied tree) is not billed to it.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import time

MIB = 1 << 20


def log_uniform(rng, low, high):
    return int(low * (high / low) ** rng.random())


class Tree:
    """The shape of the tree: which file has what size and kind, from the seed."""

    def __init__(self, seed, scale):
        rng = random.Random(seed)
        self.seed = seed
        self.folders = self._folders(rng, max(10, int(470 * scale)))
        self.files = []  # (relative path, size, kind, content seed)
        small = max(100, int(20000 * scale))
        for i in range(small):
            kind = "text"
            content = i
            if i > 10 and rng.random() < 0.10:
                kind, content = "copy", rng.randrange(i)  # an exact duplicate
            self.files.append([self._place(rng, "s%05d.txt" % i), log_uniform(rng, 100, 64 << 10),
                               kind, content])
        for i in range(max(4, int(200 * scale))):
            self.files.append([self._place(rng, "m%03d.dat" % i),
                               log_uniform(rng, 100 << 10, 4 << 20), "mixed", 100000 + i])
        large = max(4 * MIB, int(100 * MIB * scale))
        for i in range(4):
            self.files.append([self._place(rng, "large%d.bin" % i), large, "mixed", 200000 + i])

    @staticmethod
    def _folders(rng, count):
        folders = [""]
        while len(folders) < count:
            parent = rng.choice(folders)
            if parent.count("/") < 4:
                folders.append((parent + "/" if parent else "") + "d%03d" % len(folders))
        return folders

    def _place(self, rng, name):
        folder = rng.choice(self.folders)
        return folder + "/" + name if folder else name

    def key(self):
        return "%d %d %d" % (self.seed, len(self.files), sum(f[1] for f in self.files))


class Content:
    """Reproducible file bytes: text made of lines that carry the file's own
    numbers, so that no two files share a block unless they are copies."""

    def __init__(self, seed):
        rng = random.Random(seed)
        words = ["".join(rng.choices("etaoinshrdlucmfwypvbgkjqxz", k=rng.randint(2, 9)))
                 for _ in range(3000)]
        self.lines = [" ".join(rng.choices(words, k=rng.randint(3, 14))) for _ in range(20000)]

    def text(self, content, size):
        rng = random.Random(content * 7919 + 1)
        parts, have, n = [], 0, 0
        while have < size:
            line = "%d.%d %s\n" % (content, n, rng.choice(self.lines))
            parts.append(line)
            have += len(line)
            n += 1
        return "".join(parts).encode()[:size]

    def mixed(self, content, size):
        rng = random.Random(content)
        half = size // 2
        out = bytearray(self.text(content, half))
        out += rng.randbytes(size - half)
        return bytes(out)

    def of(self, tree, index):
        _, size, kind, content = tree.files[index]
        if kind == "copy":
            return self.of(tree, content)
        return self.text(content, size) if kind == "text" else self.mixed(content, size)


def write_tree(tree, content, root):
    if os.path.exists(root):
        shutil.rmtree(root)
    for folder in tree.folders:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for i, (path, _, _, _) in enumerate(tree.files):
        with open(os.path.join(root, path), "wb") as out:
            out.write(content.of(tree, i))
    # Old enough that no backup takes a file as changed within its second.
    past = time.time() - 3600
    for folder, _, names in os.walk(root):
        for name in names:
            os.utime(os.path.join(folder, name), (past, past))
    with open(root + ".key", "w") as out:
        out.write(tree.key())


def change_tree(tree, root, seed):
    """The 1 % change: 200 small files edited in place, 5 appended to, 1000
    bytes in front of a large file, 100 new files, 50 deleted (at scale 1)."""
    rng = random.Random(seed + 1)
    scale = len(tree.files) / 20204
    small = [f for f in tree.files if f[0].endswith(".txt") and f[1] > 1000]
    medium = [f for f in tree.files if f[0].endswith(".dat")]
    large = [f for f in tree.files if f[0].endswith(".bin")]
    picked = rng.sample(small, max(10, int(250 * scale)))
    edited, deleted = picked[: len(picked) * 4 // 5], picked[len(picked) * 4 // 5:]
    for path, size, _, _ in edited:
        with open(os.path.join(root, path), "r+b") as f:
            f.seek(rng.randrange(size - 100))
            f.write(rng.randbytes(50))
    for path, _, _, _ in rng.sample(medium, 5):
        with open(os.path.join(root, path), "ab") as f:
            f.write(rng.randbytes(10000))
    path = os.path.join(root, large[0][0])
    with open(path, "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(rng.randbytes(1000) + data)
    for i in range(max(5, int(100 * scale))):
        folder = rng.choice(tree.folders)
        with open(os.path.join(root, folder, "new%03d.txt" % i), "wb") as f:
            f.write(rng.randbytes(log_uniform(rng, 100, 64 << 10)))
    for path, _, _, _ in deleted:
        os.remove(os.path.join(root, path))


def run(argv):
    """Runs a command; its wall seconds, CPU seconds and peak RSS in MiB.

    GNU time measures CPU and RSS, because a child forked from this (large)
    interpreter would inherit its peak RSS as its own. The wall time is taken
    here: GNU time gives it in hundredths of a second, a seventh of an
    unchanged backup."""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), "vaultline-e2e-time.%d" % os.getpid())
    # Dirty pages of the copied tree or of the step before would be written
    # back during this step and bill it for I/O that is not its own.
    os.sync()
    start = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-o", report, "-f", "%U %S %M"] + argv,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.monotonic() - start
    with open(report) as f:
        user, system, rss = f.read().split()[-3:]
    os.remove(report)
    if done.returncode != 0:
        sys.exit("%s failed (%d):\n%s" % (" ".join(argv), done.returncode,
                                           done.stderr.decode(errors="replace")[-2000:]))
    return wall, float(user) + float(system), int(rss) / 1024


def tree_bytes(root):
    total = 0
    for folder, _, names in os.walk(root):
        for name in names:
            total += os.path.getsize(os.path.join(folder, name))
    return total


def compare_trees(a, b):
    """Files and bytes of `a`, checked byte for byte against `b`."""
    count = 0
    for folder, _, names in os.walk(a):
        rel = os.path.relpath(folder, a)
        for name in names:
            with open(os.path.join(folder, name), "rb") as x, \
                    open(os.path.join(b, rel, name), "rb") as y:
                while True:
                    chunk = x.read(MIB)
                    if chunk != y.read(MIB):
                        sys.exit("restored file differs: " + os.path.join(rel, name))
                    if not chunk:
                        break
            count += 1
    theirs = sum(len(names) for _, _, names in os.walk(b))
    if theirs != count:
        sys.exit("restored tree holds %d files, the source %d" % (theirs, count))
    return count


def md5_throughput():
    out = subprocess.run(["openssl", "speed", "-evp", "md5", "-bytes", "8192", "-seconds", "2",
                          "-mr"], capture_output=True, text=True, check=True).stdout
    line = [l for l in out.splitlines() if l.startswith("+F:")][-1]
    return float(line.split(":")[-1])


def find_walk(root):
    start = time.monotonic()
    subprocess.run(["find", root, "-printf", "%s %T@\n"], stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def drive_write(folder, size=512 * MIB):
    """Sequential write of new random bytes to the drive's file system,
    synced: about what a first backup, which writes as much as it reads,
    asks of the disk. A virtual disk's rate varies by run and by minute."""
    path = os.path.join(folder, "write-test")
    data = memoryview(os.urandom(size))
    start = time.monotonic()
    with open(path, "wb", buffering=0) as f:
        for at in range(0, size, MIB):
            f.write(data[at:at + MIB])
        os.fsync(f.fileno())
    elapsed = time.monotonic() - start
    os.remove(path)
    return size / elapsed


def read_through(root):
    """Reads every file under root once: the figures are for a warm page
    cache, and a tree just copied (or a drive just written) may have been
    pushed out of it meanwhile."""
    for folder, _, names in os.walk(root):
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                while f.read(1 << 20):
                    pass


def tree_arguments(doc, work, scale=1.0):
    """The options of every benchmark of a generated tree: the program, the
    work folder, and the tree's seed and scale."""
    parser = argparse.ArgumentParser(description=doc.split("\n")[0])
    parser.add_argument("--cli", default="build-release/drive/vaultline")
    parser.add_argument("--work", default=work)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--scale", type=float, default=scale)
    return parser


def main():
    parser = tree_arguments(__doc__, "/tmp/vaultline-e2e")
    # Where the restore writes. ext4 without a journal keeps away from
    # inodes freed in the last minutes, and its search past them grows with
    # every tree deleted: repeated runs on such a file system measure that
    # search. A tmpfs folder (/dev/shm/...) measures the program.
    parser.add_argument("--restore-to", default=None,
                        help="folder for the restore (default: WORK/restored)")
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    tree = Tree(args.seed, args.scale)
    source = os.path.join(args.work, "tree-%d-%g" % (args.seed, args.scale))
    fresh = not os.path.exists(source + ".key") or open(source + ".key").read() != tree.key()
    if fresh:
        print("generating %s ..." % source, file=sys.stderr)
        write_tree(tree, Content(args.seed), source)
    # The tree the run changes is a copy, so the generated one stays reusable.
    work_tree = os.path.join(args.work, "home")
    drive = os.path.join(args.work, "drive")
    restored = args.restore_to or os.path.join(args.work, "restored")
    for path in (work_tree, drive, restored):
        shutil.rmtree(path, ignore_errors=True)
    subprocess.run(["cp", "-a", source, work_tree], check=True)
    os.makedirs(drive)
    os.makedirs(restored)
    total = tree_bytes(work_tree)

    vl = [cli, "--drive", drive]
    run(vl + ["create", "home", work_tree])
    run(vl + ["config", "max-backup-size", str(1 << 50)])
    # The copy's writes go out to the disk first: the first backup would
    # otherwise share the disk with them.
    os.sync()
    disk = drive_write(args.work)
    figures = {}
    find_walk(work_tree)  # warm the inode cache as the backups will
    figures["find walk"] = (find_walk(work_tree), None, None)
    read_through(work_tree)
    figures["first backup"] = run(vl + ["backup", "0"])
    written = tree_bytes(drive)
    figures["unchanged backup"] = run(vl + ["backup", "0"])
    change_tree(tree, work_tree, args.seed)
    figures["backup after 1% change"] = run(vl + ["backup", "0"])
    changed_total = tree_bytes(work_tree)
    read_through(drive)
    figures["full restore, verified"] = run(vl + ["restore", "0", "latest", "--to", restored])
    files = compare_trees(work_tree, os.path.join(restored, os.path.basename(work_tree)))
    md5 = md5_throughput()

    print("tree: %d files, %.1f MiB (after the change %.1f MiB); restore checked: %d files"
          % (len(tree.files), total / MIB, changed_total / MIB, files))
    print("single-core MD5 (openssl, 8 KiB blocks): %.0f MB/s" % (md5 / 1e6))
    print("sequential write to the drive's file system, synced: %.0f MB/s" % (disk / 1e6))
    print("%-24s %8s %8s %9s %10s  %s" % ("step", "wall s", "CPU s", "RSS MiB", "MB/s", "ratio"))
    unchanged = figures["unchanged backup"][0]
    walk = figures["find walk"][0]
    for name, (wall, cpu, rss) in figures.items():
        rate, ratio = "", ""
        if name == "first backup":
            rate = total / wall
            ratio = "%.2fx MD5 (target >= 0.5); wrote %.0f MB/s, %.2fx the drive's rate" % (
                rate / md5, written / wall / 1e6, written / wall / disk)
        elif name == "full restore, verified":
            rate = changed_total / wall
            ratio = "%.2fx MD5 (target >= 0.35)" % (rate / md5)
        elif name == "unchanged backup":
            ratio = "%.1fx find walk (target <= 3)" % (wall / walk)
        elif name == "backup after 1% change":
            ratio = "%.1fx unchanged backup (target <= 3)" % (wall / unchanged)
        print("%-24s %8.3f %8s %9s %10s  %s" % (
            name, wall, "%.3f" % cpu if cpu is not None else "",
            "%.1f" % rss if rss is not None else "", "%.1f" % (rate / 1e6) if rate else "",
            ratio))
    peak = max(f[2] for f in figures.values() if f[2] is not None)
    print("peak RSS of all steps: %.1f MiB (target <= 64)" % peak)
    shutil.rmtree(restored, ignore_errors=True)


if __name__ == "__main__":
    main()
