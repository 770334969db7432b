"""vaultline exclude: patterns listed, changed and tried on paths, and the
snapshot that leaves out what they name."""

import json
import os

import harness


class Exclude(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("src")
        tree = harness.Tree(self.source)
        for name in [b"keep.txt", b"a.tmp", b"node_modules/m/x.js", b"build/out.o", b"sub/build"]:
            tree.write(name, name)
        self.assertEqual(b"0\n", self.drive.ok("create", "src", self.source))

    def test_patterns_are_listed_changed_tried_and_applied(self):
        self.drive.ok("exclude", "src", "add", "*.tmp", "node_modules/", "/build")
        self.assertEqual(b"*.tmp\nnode_modules/\n/build\n", self.drive.ok("exclude", "src"))

        inside = os.path.join(self.source, b"node_modules/m/x.js")
        line = self.drive.ok("exclude", "src", "test", inside)
        self.assertIn(b": left out, by the pattern node_modules/ on ", line)
        answer = json.loads(self.drive.ok("--json", "exclude", "src", "test",
                                          os.path.join(self.source, b"sub/build")))
        self.assertEqual((True, None), (answer["backedUp"], answer.get("pattern")))
        # A path outside the source, an unknown pattern, a comment: failures.
        self.drive.ok("exclude", "src", "test", self.scratch_path("elsewhere"), expect=1)
        self.drive.ok("exclude", "src", "remove", "*.bak", expect=1)
        self.drive.ok("exclude", "src", "add", "# note", expect=1)
        self.drive.ok("exclude", "src", "rename", expect=2)

        self.drive.ok("backup", "src")
        self.assertEqual([b"src/", b"src/keep.txt", b"src/sub/", b"src/sub/build"],
                         sorted(self.drive.ok("ls", "src").splitlines()))

        self.drive.ok("exclude", "src", "remove", "*.tmp")
        self.drive.ok("rename", "src", "renamed")
        self.assertEqual(b"node_modules/\n/build\n", self.drive.ok("exclude", "renamed"))


if __name__ == "__main__":
    harness.main()
