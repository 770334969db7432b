#!/usr/bin/env python3
"""End-to-end figures of the command line at real sizes, against BorgBackup.

In one run, page cache warm: a first backup of SIZE GiB of incompressible
files (default 8), then 512 MiB of new files into that store, then one new
1 MiB file; the same 512 MiB into an empty store and the 1 MiB file after
it (a small store); `borg create --compression none` over the same SIZE GiB
when borg is installed; and the first backup of a copy of /usr, by both.
Every step prints wall and CPU seconds, peak RSS and its ratio.

  bench/real_sizes.py --cli build-release/drive/vaultline --work /work/rs
  bench/real_sizes.py --size 32 ...     (where the disk allows)
  bench/real_sizes.py --no-usr ...

The generated files (and the copy of /usr) stay in WORK for the next run;
drives and repositories are made afresh.
"""

import argparse
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from end_to_end import MIB, run  # noqa: E402

GIB = 1 << 30


def random_file(path, size, seed):
    """Incompressible bytes, fast: AES-CTR over zeros."""
    with open(path, "wb") as out:
        key = "%064x" % seed
        zeros = subprocess.Popen(["head", "-c", str(size), "/dev/zero"], stdout=subprocess.PIPE)
        subprocess.run(["openssl", "enc", "-aes-256-ctr", "-nosalt", "-K", key, "-iv", "0" * 32],
                       stdin=zeros.stdout, stdout=out, check=True)
        zeros.wait()


def make_files(folder, count, size, seed):
    key = "%d %d %d" % (count, size, seed)
    marker = os.path.join(folder, ".made")
    if os.path.exists(marker) and open(marker).read() == key:
        return
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for i in range(count):
        random_file(os.path.join(folder, "f%04d.bin" % i), size, seed * 100000 + i)
    with open(marker, "w") as f:
        f.write(key)


def regular_files(root):
    """The regular files under root; a copy of /usr holds links that lead nowhere."""
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                yield path


def read_through(root):
    """Reads every file once: the figures are for a warm page cache."""
    for path in regular_files(root):
        try:
            with open(path, "rb") as f:
                while f.read(MIB):
                    pass
        except OSError:
            pass


def tree_size(root):
    return sum(os.path.getsize(path) for path in regular_files(root))


class Drive:
    def __init__(self, cli, path, source):
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        self.vl = [cli, "--drive", path]
        run(self.vl + ["create", "sel", source])
        run(self.vl + ["config", "max-backup-size", str(1 << 50)])

    def backup(self):
        return run(self.vl + ["backup", "0"])


def borg_create(work, source):
    repo = os.path.join(work, "borg")
    shutil.rmtree(repo, ignore_errors=True)
    env = dict(os.environ, BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK="yes",
               BORG_RELOCATED_REPO_ACCESS_IS_OK="yes")
    subprocess.run(["borg", "init", "--encryption", "none", repo], check=True, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ.update(env)
    figure = run(["borg", "create", "--compression", "none", repo + "::first", source])
    shutil.rmtree(repo, ignore_errors=True)
    return figure


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", default="build-release/drive/vaultline")
    parser.add_argument("--work", default="/tmp/vaultline-real-sizes")
    parser.add_argument("--size", type=int, default=8, help="GiB of files in the large store")
    parser.add_argument("--no-usr", action="store_true")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    work = args.work
    borg = shutil.which("borg") is not None

    print("generating ...", file=sys.stderr)
    big = os.path.join(work, "big")  # the store's files, moved into SRC
    make_files(big, args.size * 8, 128 * MIB, 1)
    extra = os.path.join(work, "extra")
    make_files(extra, 4, 128 * MIB, 2)
    one = os.path.join(work, "one")
    make_files(one, 1, MIB, 3)
    usr = os.path.join(work, "usr")
    if not args.no_usr and not os.path.exists(usr + ".made"):
        shutil.rmtree(usr, ignore_errors=True)
        subprocess.run(["cp", "-a", "/usr", usr], check=True)
        open(usr + ".made", "w").close()

    figures = []  # (name, (wall, cpu, rss), comparison name or None)

    class Figures(list):
        def append(self, item):
            super().append(item)
            name, (wall, cpu, rss), _ = item
            print("  %-28s %8.3f s wall %8.3f s CPU %7.1f MiB" % (name, wall, cpu, rss),
                  file=sys.stderr, flush=True)

    figures = Figures()

    # The large store: SRC holds the big files, then the extra ones, then one.
    src = os.path.join(work, "src")
    shutil.rmtree(src, ignore_errors=True)
    os.makedirs(src)
    os.rename(big, os.path.join(src, "big"))
    try:
        read_through(src)
        drive = Drive(cli, os.path.join(work, "drive"), src)
        figures.append(("first backup, %d GiB" % args.size, drive.backup(), None))
        if borg:
            read_through(src)
            figures.append(("borg create, %d GiB" % args.size, borg_create(work, src), None))
        os.rename(extra, os.path.join(src, "extra"))
        read_through(os.path.join(src, "extra"))
        figures.append(("512 MiB new, large store", drive.backup(), None))
        os.rename(one, os.path.join(src, "one"))
        figures.append(("1 MiB new, large store", drive.backup(), None))
        os.rename(os.path.join(src, "extra"), extra)
        os.rename(os.path.join(src, "one"), one)
    finally:
        os.rename(os.path.join(src, "big"), big)
    shutil.rmtree(os.path.join(work, "drive"), ignore_errors=True)

    # The same into an empty store, then the 1 MiB file into that small store.
    os.rename(extra, os.path.join(src, "extra"))
    try:
        read_through(src)
        drive = Drive(cli, os.path.join(work, "drive"), src)
        figures.append(("512 MiB new, empty store", drive.backup(), None))
        os.rename(one, os.path.join(src, "one"))
        figures.append(("1 MiB new, small store", drive.backup(), None))
        os.rename(os.path.join(src, "one"), one)
    finally:
        os.rename(os.path.join(src, "extra"), extra)
    shutil.rmtree(os.path.join(work, "drive"), ignore_errors=True)

    usr_bytes = 0
    if not args.no_usr:
        usr_bytes = tree_size(usr)
        read_through(usr)
        drive = Drive(cli, os.path.join(work, "drive"), usr)
        figures.append(("first backup, /usr copy", drive.backup(), None))
        shutil.rmtree(os.path.join(work, "drive"), ignore_errors=True)
        if borg:
            read_through(usr)
            figures.append(("borg create, /usr copy", borg_create(work, usr), None))

    by_name = {name: f for name, f, _ in figures}
    print("%-28s %8s %8s %9s %9s" % ("step", "wall s", "CPU s", "RSS MiB", "MB/s"))
    sizes = {"first backup, %d GiB" % args.size: args.size * GIB,
             "borg create, %d GiB" % args.size: args.size * GIB,
             "512 MiB new, large store": 512 * MIB, "512 MiB new, empty store": 512 * MIB,
             "1 MiB new, large store": MIB, "1 MiB new, small store": MIB,
             "first backup, /usr copy": usr_bytes, "borg create, /usr copy": usr_bytes}
    for name, (wall, cpu, rss), _ in figures:
        print("%-28s %8.3f %8.3f %9.1f %9.1f" % (name, wall, cpu, rss, sizes[name] / wall / 1e6))

    def ratio(text, a, b, target):
        if a in by_name and b in by_name:
            print("%-60s %.2fx (target %s)" % (text, by_name[b][0] / by_name[a][0], target))

    print()
    ratio("first backup, %d GiB: speed against borg" % args.size,
          "first backup, %d GiB" % args.size, "borg create, %d GiB" % args.size, ">= 1.5")
    ratio("first backup, /usr copy: speed against borg", "first backup, /usr copy",
          "borg create, /usr copy", ">= 1.5")
    ratio("512 MiB new: speed into the large store against an empty one",
          "512 MiB new, large store", "512 MiB new, empty store", ">= 0.8")
    if "1 MiB new, large store" in by_name:
        print("%-60s %.2fx (target <= 1.5)" % (
            "1 MiB new: time in the large store against a small one",
            by_name["1 MiB new, large store"][0] / by_name["1 MiB new, small store"][0]))
    large = [f[2] for name, f, _ in figures
             if not name.startswith("borg") and ("large store" in name or "GiB" in name)]
    print("%-60s %.1f MiB (target <= 96)" % ("peak RSS of our steps with the large store",
                                             max(large)))
    if "first backup, /usr copy" in by_name:
        print("%-60s %.1f MiB" % ("peak RSS of our /usr copy backup",
                                  by_name["first backup, /usr copy"][2]))


if __name__ == "__main__":
    main()
