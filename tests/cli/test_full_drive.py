"""The drive on a small exFAT file system (a loop device mounted with
exfat-fuse), backed up until it is full, and a compaction that finds no room
on it. Needs root and /dev/fuse; reports itself as skipped without them."""

import os
import re
import shutil
import subprocess
import time
import unittest

import harness

PROGRAMS = ("vaultline", "libvaultline.so")
SPACE_FOR_BACKUPS = 24 << 20
ROUND_BYTES = 3 << 20


def missing_requirements():
    if os.geteuid() != 0:
        return "needs root"
    if not os.path.exists("/dev/fuse"):
        return "needs /dev/fuse"
    for tool in ("mkfs.exfat", "mount.exfat-fuse", "losetup", "umount"):
        if shutil.which(tool) is None:
            return "needs %s (packages exfat-fuse, exfatprogs)" % tool
    return None


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=60)


def free_bytes(path):
    info = os.statvfs(path)
    return info.f_bavail * info.f_frsize


class FullDrive(harness.DriveTest):
    def setUp(self):
        reason = missing_requirements()
        if reason:
            self.skipTest(reason)
        super().setUp()
        self.mount = os.path.join(self.scratch, "stick")
        self.program_folder = os.path.dirname(os.path.abspath(harness.VAULTLINE))
        programs = sum(os.path.getsize(os.path.join(self.program_folder, name)) for name in PROGRAMS)
        image = os.path.join(self.scratch, "exfat.img")
        with open(image, "wb") as f:
            f.truncate(programs + SPACE_FOR_BACKUPS)
        made = run("mkfs.exfat", image)
        if made.returncode != 0:
            self.skipTest("mkfs.exfat failed: " + made.stderr)
        attached = run("losetup", "--find", "--show", image)
        if attached.returncode != 0:
            self.skipTest("no loop device: " + attached.stderr.strip())
        device = attached.stdout.strip()
        self.addCleanup(run, "losetup", "--detach", device)
        os.makedirs(self.mount)
        mounted = run("mount.exfat-fuse", device, self.mount)
        if mounted.returncode != 0:
            self.skipTest("exfat-fuse cannot mount: " + mounted.stderr.strip())
        self.addCleanup(self.unmount)
        self.drive = harness.Drive(self.mount, self.install())

    def unmount(self):
        for _ in range(50):
            if run("umount", self.mount).returncode == 0 or not os.path.ismount(self.mount):
                return
            time.sleep(0.1)
        run("umount", "--lazy", self.mount)

    def install(self):
        """Puts the programs and the library on the stick, as build/drive/ is
        laid out; runs them from there when the mount allows it."""
        for name in PROGRAMS:
            shutil.copyfile(os.path.join(self.program_folder, name), os.path.join(self.mount, name))
        program = os.path.join(self.mount, "vaultline")
        if run(program, "--help").returncode == 0:
            return program
        return harness.VAULTLINE

    def test_backups_until_the_drive_is_full(self):
        self.drive.ok("config", "max-backup-size", 1 << 40)
        out = os.path.join(self.mount, "out")
        os.makedirs(out)
        keep = harness.Tree(self.scratch_path("keep"), seed=3)
        keep.write(b"notes.txt", b"keep me\n")
        keep.write(b"data.bin", keep.noise(200 << 10))
        self.drive.ok("create", "keep", keep.root)
        self.drive.ok("backup", "keep")
        kept = harness.manifest(keep.root)

        fill = harness.Tree(self.scratch_path("fill"), seed=4)
        snapshots = []
        for round in range(SPACE_FOR_BACKUPS // ROUND_BYTES + 2):
            fill.write(b"round %d.bin" % round, fill.noise(ROUND_BYTES))
            expected = harness.manifest(fill.root)
            if round == 0:
                self.drive.ok("create", "fill", fill.root)
            result = self.drive.run("backup", "fill")
            if result.returncode != 0:
                break
            snapshots.append(expected)
        else:
            self.fail("the drive never filled up")
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertTrue(result.stderr.startswith(b"error: "), result.stderr)
        self.assertGreater(len(snapshots), 2)
        self.assertEqual(len(snapshots), self.drive.snapshot_count("fill"))
        for index, expected in enumerate(snapshots):
            self.assertRestores("fill", index, expected, "fill")
        self.assertRestores("keep", 0, kept, "keep")

        # Restoring onto the full drive cannot write everything: it must say so.
        result = self.drive.run("restore", "fill", "latest", "--to", out)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(b"error: ", result.stderr)
        shutil.rmtree(out, ignore_errors=True)

        before = free_bytes(self.mount)
        self.drive.ok("delete", "fill")
        self.assertGreater(free_bytes(self.mount) - before, len(snapshots) * ROUND_BYTES * 9 // 10)
        self.assertRestores("keep", 0, kept, "keep")
        keep.write(b"notes.txt", b"changed\n")
        self.drive.ok("backup", "keep")
        self.assertRestores("keep", 1, harness.manifest(keep.root), "keep")

    def test_compaction_refused_for_lack_of_room_changes_nothing(self):
        self.drive.ok("config", "max-backup-size", 1 << 40)
        tree = harness.Tree(self.scratch_path("tree"), seed=5)
        snapshots = []
        for round in range(3):
            tree.write(b"round.bin", tree.noise(ROUND_BYTES))
            if round == 0:
                self.drive.ok("create", "tree", tree.root)
            self.drive.ok("backup", "tree")
            snapshots.append(harness.manifest(tree.root))
        self.drive.ok("forget", "tree", "0")
        del snapshots[0]

        # What is left on the stick is less than the two kept snapshots need.
        filler = os.path.join(self.mount, "filler.bin")
        with open(filler, "wb") as f:
            f.truncate(max(free_bytes(self.mount) - ROUND_BYTES, 0))
            f.flush()
            os.fsync(f.fileno())
        before = self.store_digests()
        result = self.drive.run("compact", "tree")
        self.assertEqual(1, result.returncode, result.stderr)
        found = re.search(rb"needs (\d+) bytes .* only (\d+) bytes are available", result.stderr)
        self.assertIsNotNone(found, result.stderr)
        needed, available = int(found.group(1)), int(found.group(2))
        self.assertGreater(needed, 2 * ROUND_BYTES)
        self.assertLess(available, needed)
        self.assertEqual(before, self.store_digests())
        for index, expected in enumerate(snapshots):
            self.assertRestores("tree", index, expected, "tree")

        # With room again the same compaction goes through.
        os.remove(filler)
        self.drive.ok("compact", "tree")
        self.assertNotEqual(before, self.store_digests())
        for index, expected in enumerate(snapshots):
            self.assertRestores("tree", index, expected, "tree")

    def store_digests(self):
        """Every file below the storage folder, by path, with its hash."""
        digests = {}
        for parent, _, names in os.walk(self.drive.storage):
            for name in names:
                path = os.path.join(parent, name)
                digests[os.path.relpath(path, self.drive.storage)] = harness.digest(path)
        return digests


if __name__ == "__main__":
    harness.main()
