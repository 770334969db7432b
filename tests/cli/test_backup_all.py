"""vaultline backup --all: every selection in turn, one failing does not stop
the rest, and the exit status is the worst of them; each snapshot taken is
followed by its selection's keep rules, when they are on, and a backup the
quota would stop lets the rules make room first."""

import json
import os
import re
import shutil

import harness


class BackupAll(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.drive.ok("config", "max-backup-size", "0")
        for name in ["first", "gone", "third"]:
            tree = harness.Tree(self.scratch_path(name))
            tree.write(b"notes.txt", name.encode() * 100)
            self.drive.ok("create", name, self.scratch_path(name))

    def test_a_failing_selection_does_not_stop_the_others(self):
        shutil.rmtree(self.scratch_path("gone"))
        result = self.drive.run("backup", "--all")
        self.assertEqual(1, result.returncode, result.stderr)
        # What each snapshot stored follows its files; only their number is compared.
        lines = [re.sub(r", [\d.]+ \w+ stored$", "", line)
                 for line in result.stdout.decode().splitlines()]
        self.assertEqual(["0\tfirst\tsnapshot 0: 1 files, 500 bytes (1 new or changed, 0 unchanged)",
                          "1\tgone\tfailed",
                          "2\tthird\tsnapshot 0: 1 files, 500 bytes (1 new or changed, 0 unchanged)"],
                         lines)
        self.assertIn(b"error:", result.stderr)
        self.assertEqual(1, self.drive.snapshot_count("third"))

        answer = json.loads(self.drive.ok("--json", "backup", "--all", expect=1))
        self.assertEqual(1, answer["status"])
        self.assertEqual([(0, "first", 0, 1), (1, "gone", 1, None), (2, "third", 0, 1)],
                         [(s["selection"], s["name"], s["status"], s.get("snapshot"))
                          for s in answer["selections"]])

    def test_the_worst_status_wins_and_a_whole_run_is_zero(self):
        self.assertEqual(3, len(self.drive.ok("backup", "--all").splitlines()))
        # A file over the size limit makes one selection partial: status 3.
        harness.Tree(self.scratch_path("third")).write(b"big.bin", b"x" * 5000)
        self.drive.ok("config", "max-file-size", "1000")
        out = self.drive.ok("backup", "--all", expect=3)
        self.assertIn(b"2\tthird\tincomplete, snapshot 1: ", out)
        self.assertIn(b"1 skipped for size", out)

    def write_keep_rules(self, text):
        for stamp in os.listdir(self.drive.storage):
            folder = os.path.join(self.drive.storage, stamp, b"Dir")
            if os.path.isdir(folder):
                with open(os.path.join(folder, b"keep"), "w") as f:
                    f.write(text)

    def forget_log(self):
        path = os.path.join(self.drive.storage, b"forget.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [line.split("  ", 1)[1] for line in f.read().splitlines()]

    def test_the_keep_rules_follow_each_snapshot_taken(self):
        # As a drive backed up only when plugged in: the rules set in the
        # desktop program thin it all the same.
        self.write_keep_rules("enabled 1\nlast 1\n")
        self.drive.ok("backup", "--all")
        self.assertEqual([], self.forget_log())
        shutil.rmtree(self.scratch_path("gone"))
        lines = self.drive.ok("backup", "--all", expect=1).decode().splitlines()
        forgot = "; 1 old snapshot(s) forgotten by the keep rules"
        self.assertTrue(lines[0].endswith(forgot), lines)
        self.assertEqual("1\tgone\tfailed", lines[1])
        self.assertTrue(lines[2].endswith(forgot), lines)
        # The failed backup forgot nothing: its one snapshot is all it has.
        self.assertEqual([1, 1, 1], [self.drive.snapshot_count(n) for n in ["first", "gone", "third"]])
        log = self.forget_log()
        self.assertEqual(2, len(log), log)
        self.assertTrue(log[0].startswith("first: forgot 1 snapshot(s) by the keep rules (last 1): "), log)
        self.assertTrue(log[1].startswith("third: forgot 1 snapshot(s) by the keep rules (last 1): "), log)

        # The snapshot is named by its index after the forget: the only one left.
        self.assertTrue(lines[0].startswith("0\tfirst\tsnapshot 0: "), lines)
        answer = json.loads(self.drive.ok("--json", "backup", "first"))
        self.assertEqual((0, [0]), (answer["snapshot"], answer["forgotten"]))
        self.assertEqual(1, self.drive.snapshot_count("first"))

        # Rules switched off are kept but not applied.
        self.write_keep_rules("enabled 0\nlast 1\n")
        answer = json.loads(self.drive.ok("--json", "backup", "first"))
        self.assertNotIn("forgotten", answer)
        self.assertEqual(1, answer["snapshot"])
        self.assertEqual(2, self.drive.snapshot_count("first"))

    def test_unreadable_keep_rules_leave_the_snapshot_standing(self):
        self.write_keep_rules("")
        for stamp in os.listdir(self.drive.storage):
            keep = os.path.join(self.drive.storage, stamp, b"Dir", b"keep")
            if os.path.exists(keep):
                os.remove(keep)
                os.mkdir(keep)  # a folder where the file should be
        result = self.drive.run("backup", "first")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn(b"warning: first: the keep rules were not applied", result.stderr)
        self.assertEqual(1, self.drive.snapshot_count("first"))

    def test_the_keep_rules_make_room_when_the_quota_would_stop_a_backup(self):
        # Three snapshots of 200 KB that share nothing; the quota leaves less.
        tree = harness.Tree(self.scratch_path("first"))
        for _ in range(3):
            tree.write(b"notes.txt", tree.noise(200 << 10))
            self.drive.ok("backup", "first")
        used = harness.folder_bytes(self.drive.storage)
        self.drive.ok("config", "max-backup-size", str(used + (100 << 10)))
        tree.write(b"notes.txt", tree.noise(200 << 10))
        refused = self.drive.run("backup", "first")
        self.assertEqual(1, refused.returncode)  # no rules: the quota stops it
        self.assertIn(b"No space available", refused.stderr)

        self.write_keep_rules("enabled 1\nlast 1\n")
        result = self.drive.run("backup", "first")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertNotIn(b"No space available", result.stderr)
        self.assertIn(b"note: first: the quota would stop this backup; the keep rules forgot 2 "
                      b"snapshot(s), ", result.stderr)
        # The newest was kept for the retry, and forgotten by the rules after it.
        self.assertEqual(1, self.drive.snapshot_count("first"))
        log = self.forget_log()
        self.assertTrue(log[0].startswith("first: forgot 2 snapshot(s) by the keep rules"), log)
        self.assertTrue(log[1].startswith("first: compacted, "), log)

        # Still too little room after the forget: the quota's error, as before,
        # and the newest snapshot is kept.
        self.write_keep_rules("enabled 0\nlast 1\n")
        self.drive.ok("config", "max-backup-size", "0")
        tree.write(b"notes.txt", tree.noise(200 << 10))
        self.drive.ok("backup", "first")
        newest = self.drive.ok("snapshots", "first").splitlines()[-1].split(b"\t")[1]
        self.write_keep_rules("enabled 1\nlast 1\n")
        self.drive.ok("config", "max-backup-size",
                      str(harness.folder_bytes(self.drive.storage) + (300 << 10)))
        tree.write(b"notes.txt", tree.noise(2 << 20))
        result = self.drive.run("backup", "first")
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(b"the keep rules forgot 1 snapshot(s)", result.stderr)
        self.assertIn(b"No space available", result.stderr)
        self.assertEqual([newest], [line.split(b"\t")[1] for line in
                                    self.drive.ok("snapshots", "first").splitlines()])

    def test_usage(self):
        self.drive.ok("backup", expect=2)
        self.drive.ok("backup", "first", "--all", expect=2)
        empty = harness.Drive(self.scratch_path("empty"))
        shutil.os.makedirs(empty.folder)
        empty.ok("backup", "--all", expect=1)


if __name__ == "__main__":
    harness.main()
