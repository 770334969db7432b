"""vaultline backup --all: every selection in turn, one failing does not stop
the rest, and the exit status is the worst of them."""

import json
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

    def test_usage(self):
        self.drive.ok("backup", expect=2)
        self.drive.ok("backup", "first", "--all", expect=2)
        empty = harness.Drive(self.scratch_path("empty"))
        shutil.os.makedirs(empty.folder)
        empty.ok("backup", "--all", expect=1)


if __name__ == "__main__":
    harness.main()
