"""restore --overwrite: what a restore does with a file already where it
writes one. By default a local file changed after the snapshot stays."""

import os

import harness

STORED = b"as stored\n"


class Overwrite(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("notes")
        os.makedirs(self.source)
        self.file = os.path.join(self.source, b"a.txt")
        with open(self.file, "wb") as f:
            f.write(STORED)
        self.drive.ok("create", "notes", self.source)
        self.drive.ok("backup", "notes")
        self.target = self.scratch_path("back")

    def local(self, text, age):
        """Writes the file under the target, dated `age` seconds from the stored one."""
        path = os.path.join(self.target, b"notes", b"a.txt")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text)
        stored = os.stat(self.file).st_mtime
        os.utime(path, (stored + age, stored + age))
        return path

    def restore(self, *rule):
        self.drive.ok("restore", "notes", "latest", "--to", self.target, *rule)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_a_newer_local_file_stays_unless_replace_is_asked_for(self):
        path = self.local(b"edited later\n", 3600)
        self.restore()
        self.assertEqual(b"edited later\n", self.read(path))
        self.restore("--overwrite", "keep-newer")
        self.assertEqual(b"edited later\n", self.read(path))
        self.restore("--overwrite", "replace")
        self.assertEqual(STORED, self.read(path))

    def test_an_older_local_file_is_replaced_by_default(self):
        path = self.local(b"old draft\n", -3600)
        self.restore()
        self.assertEqual(STORED, self.read(path))

    def test_keep_both_writes_the_restored_file_beside(self):
        path = self.local(b"edited later\n", 3600)
        self.restore("--overwrite", "keep-both")
        self.assertEqual(b"edited later\n", self.read(path))
        beside = os.path.join(os.path.dirname(path), b"a (restored).txt")
        self.assertEqual(STORED, self.read(beside))

    def test_an_unknown_rule_is_a_usage_error(self):
        self.drive.ok("restore", "notes", "latest", "--to", self.target, "--overwrite", "x",
                      expect=2)


if __name__ == "__main__":
    harness.main()
