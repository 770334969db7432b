"""vaultline relocate: a source folder moved elsewhere is pointed at its new
place. The snapshots taken before keep listing and restoring as they were,
and the next backup stores only what the store does not hold yet."""

import json
import os

import harness


class Relocate(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.tree = harness.Tree(self.scratch_path("home", "Documents"))
        for i in range(8):
            self.tree.write(b"photos/%d.jpg" % i, self.tree.noise(200000 + i))
        self.tree.write(b"notes.txt", b"first notes\n")
        self.tree.settle_folders()
        self.drive.ok("create", "docs", self.tree.root)
        self.drive.ok("config", "max-backup-size", 0)
        self.drive.ok("backup", "docs")
        self.before = harness.manifest(self.tree.root)

    def test_a_moved_folder_keeps_its_history_and_stores_only_what_changed(self):
        moved = self.scratch_path("elsewhere", "Papers")
        os.makedirs(os.path.dirname(moved))
        os.rename(self.tree.root, moved)

        # Nowhere to go: refused, the source stays what it was.
        missing = self.drive.run("relocate", "docs", self.scratch_path("elsewhere", "Nope"))
        self.assertEqual(1, missing.returncode)
        self.assertIn(b"Nope", missing.stderr)
        self.assertIn(b"verify that the path", missing.stderr)
        self.assertEqual(self.tree.root, self.drive.ok("list").split(b"\t")[2])

        answer = json.loads(self.drive.ok("--json", "relocate", "docs", moved))
        self.assertEqual({"selection": 0, "source": os.fsdecode(moved)}, answer)
        moved_tree = harness.Tree(moved)
        moved_tree.clock = self.tree.clock
        moved_tree.write(b"notes.txt", b"second notes\n")
        stored = json.loads(self.drive.ok("--json", "backup", "docs"))
        # 1.6 MB of photos were stored before; their blocks are not again.
        self.assertLess(stored["newBytes"], 200000)

        self.assertRestores("docs", 0, self.before, "Documents")
        self.assertRestores("docs", 1, harness.manifest(moved), "Papers")
        self.assertEqual(b"Documents/notes.txt", self.drive.ok("ls", "docs", 0).splitlines()[1])
        self.assertEqual(b"first notes\n", self.drive.ok("cat", "docs", 0, "Documents/notes.txt"))
        self.assertEqual(b"second notes\n", self.drive.ok("cat", "docs", 1, "Papers/notes.txt"))


if __name__ == "__main__":
    harness.main()
