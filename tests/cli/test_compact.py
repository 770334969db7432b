"""Forgetting snapshots and compacting a selection through the command line,
and compactions killed at random moments: afterwards the selection holds
either its whole old set of files or its whole new set, never a mix, and
the next backup works."""

import hashlib
import os
import random
import shutil
import signal
import time

import harness

KILLS = 32
STORE_FILES = (b"file", b"file.ind", b"file.fp", b"file.dir", b"file.snp")


class Compact(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("src")
        self.tree = harness.awkward_tree(self.source, big=1 << 20)
        self.drive.ok("create", "tree", self.source)
        self.drive.ok("config", "max-backup-size", 1 << 40)
        self.snapshots = []

    def backup(self, step):
        """A snapshot with new contents of its own, so that forgetting it
        leaves blocks that nothing else references."""
        self.tree.write(b"round.bin", self.tree.noise(256 << 10))
        self.tree.write(b"changing.bin", self.tree.noise(64 << 10))
        self.tree.settle_folders()
        self.drive.ok("backup", "tree")
        self.snapshots.append(harness.manifest(self.source))

    def assertAllRestore(self):
        self.assertEqual(len(self.snapshots), self.drive.snapshot_count("tree"))
        for index, expected in enumerate(self.snapshots):
            self.assertRestores("tree", index, expected, "src")

    def selection_folder(self):
        (stamp,) = [n for n in os.listdir(self.drive.storage) if n.isdigit()]
        return os.path.join(self.drive.storage, stamp, b"Dir")

    def store_digests(self):
        folder = self.selection_folder()
        return tuple(harness.digest(os.path.join(folder, name)) for name in STORE_FILES)

    def test_forget_by_index_and_by_policy_then_compact(self):
        for step in range(5):
            self.backup(step)
        listed = self.drive.ok("forget", "tree", "--keep-last", "2", "--dry-run").decode()
        self.assertEqual(3, listed.count("would forget"), listed)
        self.assertEqual(5, self.drive.snapshot_count("tree"))
        self.drive.ok("forget", "tree", "1", "3")
        del self.snapshots[3], self.snapshots[1]
        self.assertAllRestore()
        self.drive.ok("forget", "tree", "--keep-last", "1", "--keep-daily", "1")
        self.snapshots = self.snapshots[-1:]
        before = self.drive.storage_bytes()
        self.drive.ok("compact", "tree")
        self.assertLess(self.drive.storage_bytes(), before)
        self.assertAllRestore()
        self.backup(9)
        self.assertAllRestore()
        # Neither SNAP nor a policy, or both: a usage error.
        self.drive.ok("forget", "tree", expect=2)
        self.drive.ok("forget", "tree", "0", "--keep-last", "1", expect=2)
        self.drive.ok("forget", "tree", "7", expect=1)
        self.assertAllRestore()

    def test_killed_compactions_leave_the_old_or_the_new_set(self):
        for step in range(6):
            self.backup(step)
        self.drive.ok("forget", "tree", "0", "2", "3")
        kept = [self.snapshots[i] for i in (1, 4, 5)]
        saved = self.scratch_path("saved")
        shutil.copytree(self.drive.storage, saved)
        old = self.store_digests()
        started = time.monotonic()
        self.drive.ok("compact", "tree")
        duration = time.monotonic() - started
        new = self.store_digests()
        self.assertNotEqual(old, new)

        rng = random.Random(11)
        outcomes = {old: 0, new: 0}
        for step in range(KILLS):
            shutil.rmtree(self.drive.storage)
            shutil.copytree(saved, self.drive.storage)
            compaction = self.drive.start("compact", "tree")
            # Spread evenly over the run and past its end, so that chance
            # alone does not leave either side of the switch without kills.
            time.sleep((step + rng.random()) / KILLS * duration * 1.5)
            compaction.send_signal(signal.SIGKILL)
            compaction.communicate()
            # Opening the selection finishes or rolls back the switch.
            self.assertEqual(3, self.drive.snapshot_count("tree"), "round %d" % step)
            found = self.store_digests()
            self.assertIn(found, outcomes, "round %d: a mix of old and new files" % step)
            outcomes[found] += 1
            folder = self.selection_folder()
            self.assertFalse(os.path.exists(os.path.join(folder, b"compact-new")))
            self.assertFalse(os.path.exists(os.path.join(folder, b"compact-commit")))
            if step % 8 == 0:
                self.snapshots = list(kept)
                self.assertAllRestore()
            self.drive.ok("backup", "tree")
            self.assertEqual(4, self.drive.snapshot_count("tree"))
        # Kills land before and after the switch alike; otherwise this
        # tested nothing.
        self.assertGreaterEqual(outcomes[old], KILLS // 6, outcomes)
        self.assertGreaterEqual(outcomes[new], KILLS // 6, outcomes)
        self.snapshots = kept + [harness.manifest(self.source)]
        self.assertAllRestore()


if __name__ == "__main__":
    harness.main()
