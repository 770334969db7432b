"""Snapshots of an awkward tree, changed between backups, each restoring
exactly the tree it was taken of; browsing, JSON and exit statuses."""

import base64
import json
import os
import re
import subprocess
import tempfile
import time

import harness

# One snapshot of an unchanged tree writes a snapshot entry and one directory
# record (about 1 KiB each); anything near the tree's size means it stored
# data again.
UNCHANGED_SNAPSHOT_BOUND = 16 << 10


class RoundTrip(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("src")
        self.tree = harness.awkward_tree(self.source)
        self.assertEqual(b"0\n", self.drive.ok("create", "tree", self.source))

    def backup(self):
        """Takes a snapshot and returns what it should hold."""
        expected = harness.manifest(self.source)
        self.drive.ok("backup", "tree")
        return expected

    def test_every_snapshot_restores_the_tree_it_was_taken_of(self):
        tree = self.tree
        snapshots = [self.backup()]

        size = self.drive.storage_bytes()
        snapshots.append(self.backup())
        growth = self.drive.storage_bytes() - size
        self.assertLess(growth, UNCHANGED_SNAPSHOT_BOUND, "an unchanged snapshot stored data")

        big = tree.read(b"big/random.bin")
        edited = big[:1000] + b"X" * 100 + big[1100:]
        tree.write(b"big/random.bin", edited)  # same size, new contents
        snapshots.append(self.backup())

        tree.write(b"exactly 299.bin", tree.read(b"exactly 299.bin") + b"!")
        tree.write(b"exactly 300.bin", tree.read(b"exactly 300.bin") + tree.noise(10 << 10))
        snapshots.append(self.backup())

        size = self.drive.storage_bytes()
        tree.write(b"big/random.bin", tree.noise(123) + edited)
        snapshots.append(self.backup())
        growth = self.drive.storage_bytes() - size
        self.assertLess(growth, len(edited) // 4, "a shifted file was stored again")

        tree.remove(b"semi;colon;name.txt")  # leaves "link to file" dangling
        tree.remove(b"nested/deeper/deepest")
        tree.remove(b"exactly 301.bin")
        snapshots.append(self.backup())

        tree.write("neu/ordner ä/zusätzlich.txt".encode(), b"added\n")
        tree.write(b"added \xff.bin", tree.noise(5000), read_only=True)
        tree.write(b"empty.txt", b"no longer empty")
        tree.settle_folders()
        snapshots.append(self.backup())

        self.assertEqual(len(snapshots), self.drive.snapshot_count("tree"))
        for index, expected in enumerate(snapshots):
            self.assertRestores("tree", index, expected, "src")

    def test_ls_cat_and_single_items(self):
        expected = self.backup()
        listed = self.drive.ok("ls", "tree", "latest").splitlines()
        stored = set()
        for line in listed:
            self.assertTrue(line.startswith(b"src/"), line)
            relative = line[len(b"src/") :].split(b" -> ")[0].rstrip(b"/")
            if relative:
                stored.add(relative)
        self.assertEqual(set(expected), stored)

        document = json.loads(self.drive.ok("--json", "ls", "tree", "0"))
        from_json = set()
        for entry in document["paths"]:
            exact = (
                base64.b64decode(entry["path_base64"])
                if "path_base64" in entry
                else entry["path"].encode()
            )
            self.assertEqual(exact.endswith(b"/"), entry["folder"])
            from_json.add(exact)
        self.assertIn(b"src/link to file -> semi;colon;name.txt", listed)
        self.assertEqual({line.split(b" -> ")[0] for line in listed}, from_json)
        odd = [e for e in document["paths"] if "path_base64" in e]
        self.assertEqual(3, len(odd), "exactly the paths that are not UTF-8 carry their bytes")
        self.assertTrue(all("\ufffd" in e["path"] for e in odd))

        for name in [b"not utf8 \xff\xfe \xc3(.bin", "astral \U0001F600 \U0001D11E.txt".encode(),
                     b"big/random.bin", b"empty.txt"]:
            with self.subTest(name=name):
                with open(os.path.join(self.source, name), "rb") as f:
                    self.assertEqual(f.read(), self.drive.ok("cat", "tree", 0, b"src/" + name))

        # A link is shown by its target, not followed.
        self.assertEqual(b"semi;colon;name.txt", self.drive.ok("cat", "tree", 0, b"src/link to file"))

        # A reader that stops early leaves no restored copy in the temporary folder.
        def copies():
            return {n for n in os.listdir(tempfile.gettempdir()) if re.match(r"vaultline-\d+$", n)}
        before = copies()
        reader = self.drive.start("cat", "tree", 0, b"src/big/random.bin")
        self.assertEqual(10, len(reader.stdout.read(10)))
        reader.stdout.close()
        reader.wait()
        reader.stderr.close()
        self.assertEqual(before, copies())

        folder = b"folder \xe9\x80 not utf8"
        target = self.scratch_path("one-folder")
        self.drive.ok("restore", "tree", "latest", b"src/" + folder + b"/", "--to", target)
        self.assertEqual([folder], os.listdir(target))
        with open(os.path.join(target, folder, b"inner.txt"), "rb") as f:
            self.assertEqual(b"inner\n", f.read())

        target = self.scratch_path("one-file")
        self.drive.ok("restore", "tree", 0, b"src/read-only.txt", "--to", target)
        restored = os.path.join(target, b"read-only.txt")
        self.assertFalse(os.stat(restored).st_mode & 0o200)
        self.assertEqual(expected[b"read-only.txt"][2], int(os.stat(restored).st_mtime))

        # The engine answers true for a restore that could not make its folder.
        blocked = self.scratch_path("blocked")
        os.makedirs(blocked)
        with open(os.path.join(blocked, b"src"), "wb"):
            pass
        result = self.drive.run("restore", "tree", 0, "--to", blocked)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(b"error: the restore is incomplete", result.stderr)

        self.drive.ok("cat", "tree", 0, b"src/nested/", expect=1)
        self.drive.ok("cat", "tree", 0, b"src/no such file", expect=1)
        self.drive.ok("restore", "tree", 0, b"src/no such file", "--to", target, expect=1)

    def test_selections_and_listings(self):
        self.drive.ok("backup", 0)
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(self.scratch)
        file_source = self.scratch_path("src", "exactly 300.bin")
        self.assertEqual(b"1\n", self.drive.ok("create", "single file", "./src/../src/exactly 300.bin"))
        self.drive.ok("backup", "single file")
        self.assertEqual([b"exactly 300.bin"], self.drive.ok("ls", 1).splitlines())
        with open(file_source, "rb") as f:
            self.assertEqual(f.read(), self.drive.ok("cat", 1, 0, b"exactly 300.bin"))

        lines = self.drive.ok("list").splitlines()
        self.assertEqual([b"0\ttree\t" + self.source + b"\t1",
                          b"1\tsingle file\t" + file_source + b"\t1"], lines)
        self.drive.ok("rename", "single file", "renamed; \"quoted\"")
        document = json.loads(self.drive.ok("--json", "list"))
        self.assertEqual(["tree", 'renamed; "quoted"'],
                         [s["name"] for s in document["selections"]])
        self.assertEqual(os.fsdecode(file_source), document["selections"][1]["source"])

        snapshots = json.loads(self.drive.ok("snapshots", 0, "--json"))["snapshots"]
        self.assertEqual([0], [s["index"] for s in snapshots])
        self.assertRegex(snapshots[0]["text"], r"^\w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}$")

        self.drive.ok("delete", 1)
        self.assertEqual(1, len(self.drive.ok("list").splitlines()))
        self.drive.ok("backup", 1, expect=1)

    def test_progress_line_only_on_a_terminal(self):
        master, slave = os.openpty()
        started = time.monotonic()
        backup = subprocess.Popen(self.drive.command("backup", "tree"), stdout=subprocess.DEVNULL,
                                  stderr=slave, env=harness.environment())
        os.close(slave)
        shown = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the terminal's other end is closed
                break
            if not chunk:
                break
            shown += chunk
        os.close(master)
        backup.wait()
        duration = time.monotonic() - started
        self.assertEqual(0, backup.returncode, shown)
        self.assertRegex(shown, rb"\r *\d+%  [\d.]+ \w*B of [\d.]+ \w*B")
        draws = shown.count(b"\r") - shown.count(b"\r\x1b[K")
        self.assertLessEqual(draws, 10 * duration + 1)
        self.assertTrue(shown.endswith(b"\r\x1b[K"), "the line is cleared at the end")

        self.tree.write(b"another.bin", self.tree.noise(1 << 20))
        result = self.drive.run("backup", "tree")
        self.assertEqual(b"", result.stderr)

    def test_the_quota_counts_what_the_drive_holds_already(self):
        self.drive.ok("config", "max-backup-size", 1 << 30)
        self.drive.ok("backup", "tree")
        used = self.drive.storage_bytes()
        # Room for the new file by itself, but not beside what is stored.
        self.tree.write(b"extra.bin", self.tree.noise(1 << 20))
        self.drive.ok("config", "max-backup-size", used + (256 << 10))
        result = self.drive.run("backup", "tree")
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(b"error: No space available. Space needed: ", result.stderr)
        self.assertEqual(1, self.drive.snapshot_count("tree"))
        self.drive.ok("config", "max-backup-size", 1 << 30)
        self.drive.ok("backup", "tree")
        self.assertEqual(2, self.drive.snapshot_count("tree"))

    def test_a_partial_backup_is_not_reported_as_whole(self):
        self.drive.ok("config", "max-file-size", 1000)
        self.assertEqual(b"1000\n", self.drive.ok("config", "max-file-size"))
        result = self.drive.run("backup", "tree")
        self.assertEqual(3, result.returncode, result.stderr)
        self.assertIn(b"warning: The file: ", result.stderr)
        self.assertIn(b"big/random.bin was skipped. File size exceeds predefined limit.",
                      result.stderr)
        self.drive.ok("config", "max-file-size", 0)

        self.drive.ok("config", "max-backup-size", 100000)
        result = self.drive.run("backup", "tree")
        self.assertEqual(1, result.returncode)
        # What it needs, what the quota leaves, and the commands that make room.
        self.assertTrue(result.stderr.startswith(b"error: No space available. Space needed: "))
        self.assertIn(b"vaultline config max-backup-size ", result.stderr)
        self.assertIn(b"vaultline forget tree SNAP...", result.stderr)
        self.assertEqual(1, self.drive.snapshot_count("tree"))
        self.drive.ok("config", "max-backup-size", 1 << 30)
        self.drive.ok("backup", "tree")

    def test_the_engines_diagnostic_log_shows_only_with_vv(self):
        # A path too long for a directory record is a warning for the user and
        # a line of the engine's diagnostic log, which only -vv shows.
        deep = os.path.join(self.source, *(bytes([c]) * 200 for c in b"abc"))
        os.makedirs(deep)
        with open(os.path.join(deep, b"deep.txt"), "wb") as f:
            f.write(b"deep")
        diagnostic = b"path too long for a directory record"
        for verbosity, shown in (([], False), (["-v"], False), (["-vv"], True)):
            with open(os.path.join(self.source, b"changes.txt"), "ab") as f:
                f.write(b"again")
            result = self.drive.run(*verbosity, "backup", "tree")
            self.assertEqual(3, result.returncode, result.stderr)
            self.assertIn(b"warning: The path ", result.stderr)
            self.assertEqual(shown, diagnostic in result.stderr, (verbosity, result.stderr))

    def test_an_unreadable_file_makes_the_backup_partial(self):
        if os.geteuid() == 0:
            self.skipTest("root reads every file")
        os.chmod(os.path.join(self.source, b"exactly 300.bin"), 0)
        result = self.drive.run("backup", "tree")
        self.assertEqual(3, result.returncode, result.stderr)
        self.assertIn(b"exactly 300.bin wasn't converted", result.stderr)

    def test_a_setting_that_cannot_be_saved_is_an_error(self):
        if os.geteuid() == 0:
            self.skipTest("root writes into read-only folders")
        os.chmod(self.drive.storage, 0o500)
        result = self.drive.run("config", "max-file-size", 5000)
        os.chmod(self.drive.storage, 0o700)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertEqual(b"0\n", self.drive.ok("config", "max-file-size"))

    def test_bad_input_gets_a_clear_message_and_status(self):
        missing = self.scratch_path("missing")
        result = self.drive.run("create", "x", missing)
        self.assertEqual(1, result.returncode)
        self.assertIn(b"error: " + missing + b"\nPlease verify that the path or file name are correct.",
                      result.stderr)
        for args in [(), ("frobnicate",), ("backup",), ("restore", 0, 0), ("ls", 0, "first"),
                     ("config", "colour", 1), ("config", "max-backup-size", "-5"),
                     ("config", "max-backup-size", "12abc"), ("create", "", self.source),
                     ("restore", 0, 0, "--to", "")]:
            with self.subTest(args=args):
                result = self.drive.run(*args)
                self.assertEqual(2, result.returncode, result.stderr)
                self.assertIn(b"usage: vaultline", result.stderr)
        for args in [("backup", "no such selection"), ("backup", 7), ("ls", 0, 0), ("create", "x", ""),
                     ("create", "inside", self.drive.storage)]:
            with self.subTest(args=args):
                result = self.drive.run(*args)
                self.assertEqual(1, result.returncode, result.stderr)
                self.assertTrue(result.stderr.startswith(b"error: "), result.stderr)
        result = harness.Drive(self.scratch_path("no drive here")).run("list")
        self.assertEqual(1, result.returncode)
        result = subprocess.run([harness.VAULTLINE, "--drive", "", "list"], capture_output=True)
        self.assertEqual(2, result.returncode, result.stderr)
        self.assertEqual([b"0\ttree\t" + self.source + b"\t0"], self.drive.ok("list").splitlines())


if __name__ == "__main__":
    harness.main()
