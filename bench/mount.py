#!/usr/bin/env python3
"""The mounted snapshots against a restore, on the generated 1 GiB tree.

Backs the tree of end_to_end.py up once, then in one run: `find DIR -type f`
over the mounted latest snapshot, on a fresh mount (its tree is read from the
catalogue on that first look; under 2 s), the same again (the kernel keeps
what it was told), reading every file through a fresh mount (each checked
against the source), and a restore of the same snapshot. Reading through the
mount must reach at least half the restore's throughput. The drive's files
are read once first, so that both read them from the page cache.

  bench/mount.py [--cli build-release/drive/vaultline] [--scale 1]
      [--work /tmp/vaultline-mount] [--restore-to /dev/shm/vaultline-restored]

Needs /dev/fuse and fusermount3.
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import end_to_end  # noqa: E402


class Mounted:
    """`vaultline mount` at a folder, for as long as the with-block runs."""

    def __init__(self, vl, folder):
        self.folder = folder
        self.process = subprocess.Popen(vl + ["mount", "0", folder], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)

    def __enter__(self):
        if not self.process.stdout.readline().startswith(b"mounted"):
            self.process.wait()
            sys.exit("mount failed: " + self.process.stderr.read().decode(errors="replace"))
        return os.path.join(self.folder, "latest")

    def __exit__(self, *_):
        subprocess.run(["fusermount3", "-u", self.folder], check=True)
        if self.process.wait(timeout=60) != 0:
            sys.exit("mount ended with %d: %s" % (self.process.returncode,
                                                  self.process.stderr.read().decode()))


def timed(argv):
    start = time.monotonic()
    subprocess.run(argv, stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def read_every_file(root):
    """Bytes read from every file under root, in the order find walks them."""
    total = 0
    buffer = bytearray(1 << 20)
    for folder, _, names in os.walk(root):
        for name in names:
            with open(os.path.join(folder, name), "rb", buffering=0) as f:
                while True:
                    got = f.readinto(buffer)
                    if not got:
                        break
                    total += got
    return total


def main():
    parser = end_to_end.tree_arguments(__doc__, "/tmp/vaultline-mount")
    parser.add_argument("--restore-to", default="/dev/shm/vaultline-mount-restored")
    args = parser.parse_args()
    if not os.path.exists("/dev/fuse") or not shutil.which("fusermount3"):
        sys.exit("needs /dev/fuse and fusermount3")

    cli = os.path.abspath(args.cli)
    tree = end_to_end.Tree(args.seed, args.scale)
    source = os.path.join(args.work, "tree-%d-%g" % (args.seed, args.scale))
    if not os.path.exists(source + ".key") or open(source + ".key").read() != tree.key():
        print("generating %s ..." % source, file=sys.stderr)
        end_to_end.write_tree(tree, end_to_end.Content(args.seed), source)
    drive = os.path.join(args.work, "drive")
    folder = os.path.join(args.work, "mnt")
    for path in (drive, args.restore_to):
        shutil.rmtree(path, ignore_errors=True)
    os.makedirs(drive)
    os.makedirs(folder, exist_ok=True)
    vl = [cli, "--drive", drive]
    subprocess.run(vl + ["create", "tree", source], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    subprocess.run(vl + ["config", "max-backup-size", str(1 << 50)], stdout=subprocess.DEVNULL,
                   check=True)
    subprocess.run(vl + ["backup", "0"], stdout=subprocess.DEVNULL, check=True)
    total = end_to_end.tree_bytes(source)
    end_to_end.read_through(drive)

    with Mounted(vl, folder) as latest:
        first_find = timed(["find", latest, "-type", "f"])
        second_find = timed(["find", latest, "-type", "f"])
    with Mounted(vl, folder) as latest:
        start = time.monotonic()
        read = read_every_file(latest)
        through_mount = time.monotonic() - start
        files = end_to_end.compare_trees(source, os.path.join(latest, os.path.basename(source)))
    if read != total:
        sys.exit("read %d bytes through the mount, the tree holds %d" % (read, total))
    os.makedirs(args.restore_to)
    os.sync()
    restore = timed(vl + ["restore", "0", "latest", "--to", args.restore_to])
    shutil.rmtree(args.restore_to, ignore_errors=True)

    mount_rate, restore_rate = total / through_mount, total / restore
    print("tree: %d files, %.1f MiB; %d checked through the mount"
          % (len(tree.files), total / 2**20, files))
    print("find -type f, fresh mount     %7.3f s (target < 2 s: %s)"
          % (first_find, "met" if first_find < 2 else "NOT met"))
    print("find -type f, again           %7.3f s" % second_find)
    print("read every file, fresh mount  %7.3f s  %7.1f MB/s" % (through_mount, mount_rate / 1e6))
    print("restore of the same snapshot  %7.3f s  %7.1f MB/s" % (restore, restore_rate / 1e6))
    print("mount / restore throughput    %7.2f   (target >= 0.5: %s)"
          % (mount_rate / restore_rate, "met" if mount_rate >= 0.5 * restore_rate else "NOT met"))


if __name__ == "__main__":
    main()
