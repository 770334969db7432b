"""Backups that are killed at random moments, and two backups of one
selection at once: no listed snapshot is ever lost or damaged."""

import os
import random
import signal
import time

import harness

KILLS = 24


class Interrupted(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("src")
        self.tree = harness.awkward_tree(self.source, big=1 << 20)
        self.drive.ok("create", "tree", self.source)
        self.drive.ok("config", "max-backup-size", 1 << 40)

    def change(self, step):
        """New contents each round, so that every backup has data to store."""
        tree = self.tree
        tree.write(b"rounds/round %d.bin" % step, tree.noise(128 << 10))
        tree.write(b"big/random.bin", tree.noise(64) + tree.read(b"big/random.bin")[:-64])
        tree.settle_folders()

    def assertAllRestore(self, snapshots):
        self.assertEqual(len(snapshots), self.drive.snapshot_count("tree"))
        for index, expected in enumerate(snapshots):
            self.assertRestores("tree", index, expected, "src")

    def test_killed_backups_lose_no_listed_snapshot(self):
        rng = random.Random(7)
        snapshots = []
        started = time.monotonic()
        self.drive.ok("backup", "tree")
        duration = time.monotonic() - started
        snapshots.append(harness.manifest(self.source))
        cut_short = 0
        for step in range(KILLS):
            self.change(step)
            expected = harness.manifest(self.source)
            backup = self.drive.start("backup", "tree")
            time.sleep(rng.uniform(0, duration * 1.5))
            backup.send_signal(signal.SIGKILL)
            backup.communicate()
            count = self.drive.snapshot_count("tree")
            # The killed backup either finished (and is listed) or left no trace.
            self.assertIn(count, (len(snapshots), len(snapshots) + 1), "round %d" % step)
            if count > len(snapshots):
                snapshots.append(expected)
            else:
                cut_short += 1
            self.assertRestores("tree", len(snapshots) - 1, snapshots[-1], "src")
            started = time.monotonic()
            self.drive.ok("backup", "tree")
            duration = time.monotonic() - started
            snapshots.append(expected)
        self.assertAllRestore(snapshots)
        # Kills come at random within about one and a half backups' time, so
        # most land in a running backup; otherwise this tested nothing.
        self.assertGreaterEqual(cut_short, KILLS // 4)

    def start_held_backup(self):
        """A backup with enough new data that it is still running when it is
        held with SIGSTOP, once it reports its first file."""
        self.tree.write(b"more/large.bin", self.tree.noise(16 << 20))
        backup = self.drive.start("-v", "backup", "tree")
        line = b""
        while b"Start convert" not in line:
            line = backup.stderr.readline()
            self.assertTrue(line, "the backup ended before storing a file")
        backup.send_signal(signal.SIGSTOP)
        return backup

    def test_ctrl_c_cancels_a_backup_and_lists_nothing(self):
        backup = self.start_held_backup()
        backup.send_signal(signal.SIGINT)
        backup.send_signal(signal.SIGCONT)
        _, errors = backup.communicate()
        self.assertEqual(1, backup.returncode, errors)
        self.assertIn(b"error: the backup was cancelled", errors)
        self.assertEqual(0, self.drive.snapshot_count("tree"))
        self.drive.ok("backup", "tree")
        self.assertAllRestore([harness.manifest(self.source)])

    def test_a_second_backup_of_a_busy_selection_is_refused(self):
        first = self.start_held_backup()
        expected = harness.manifest(self.source)
        try:
            second = self.drive.run("backup", "tree")
            self.assertEqual(1, second.returncode, second.stderr)
            self.assertIn(b"in use", second.stderr)
        finally:
            first.send_signal(signal.SIGCONT)
        first.communicate()
        self.assertEqual(0, first.returncode)
        self.assertAllRestore([expected])
        self.drive.ok("backup", "tree")


if __name__ == "__main__":
    harness.main()
