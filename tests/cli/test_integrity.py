"""Damage on the drive as a user meets it through the command line: a damaged
snapshot keeps its place in the list, check names what is damaged, and the
next backup stores again what check found."""

import glob
import json
import os

import harness


class Integrity(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("src")
        self.tree = harness.Tree(self.source, seed=5)
        self.tree.write("keep/big.bin", self.tree.noise(60000))
        self.tree.write("keep/small.txt", b"small and unchanged")
        self.tree.write("notes.txt", b"version 0")
        self.tree.settle_folders()
        self.drive.ok("create", "docs", self.source)
        self.drive.ok("config", "max-backup-size", 1 << 30)

    def store_file(self, extension):
        (location,) = glob.glob(os.path.join(self.drive.storage, b"*", b"Dir", b"file"))
        return location + extension

    def patch(self, extension, offset, data):
        with open(self.store_file(extension), "r+b") as f:
            f.seek(offset)
            f.write(data)

    def test_a_damaged_entry_keeps_every_later_index(self):
        snapshots = []
        for version in range(5):
            self.tree.write("notes.txt", b"version %d" % version)
            self.tree.settle_folders()
            snapshots.append(harness.manifest(self.source))
            self.drive.ok("backup", "docs")
        self.patch(b".snp", 2 * 2088 + 600, bytes(1000))

        listed = self.drive.ok("snapshots", "docs").decode().splitlines()
        self.assertEqual(5, len(listed))
        self.assertIn("DAMAGED", listed[2])
        self.assertNotIn("DAMAGED", listed[3])
        document = json.loads(self.drive.ok("--json", "snapshots", "docs"))
        self.assertEqual([False, False, True, False, False],
                         [s["damaged"] for s in document["snapshots"]])

        self.assertRestores("docs", 3, snapshots[3], "src")
        result = self.drive.run("restore", "docs", 2, "--to", self.scratch_path("out2"))
        self.assertEqual(1, result.returncode)
        self.assertIn(b"Snapshot 2 is damaged", result.stderr)
        self.assertEqual(1, self.drive.run("ls", "docs", 2).returncode)
        self.assertEqual(1, self.drive.run("cat", "docs", 2, "src/notes.txt").returncode)

        report = json.loads(self.drive.ok("--json", "check", "docs", expect=1))
        self.assertFalse(report["sound"])
        self.assertEqual([True, True, False, True, True],
                         [s["whole"] for s in report["snapshots"]])

    def test_a_damaged_block_is_found_and_the_next_backup_heals_it(self):
        self.drive.ok("backup", "docs")
        self.tree.write("notes.txt", b"version 1")
        self.tree.settle_folders()
        self.drive.ok("backup", "docs")
        self.drive.ok("check", "docs", "--read-data")

        # A byte in the middle of the first stored block of big.bin, which
        # both snapshots use unchanged.
        self.patch(b"", 40 + 4000, b"\xff\x00\xff")
        result = self.drive.run("check", "docs")
        self.assertEqual(0, result.returncode, "records alone do not show damaged data")
        result = self.drive.run("check", "docs", "--read-data")
        self.assertEqual(1, result.returncode)
        report = result.stdout.decode()
        self.assertIn("0\tDAMAGED", report)
        self.assertIn("1\tDAMAGED", report)
        self.assertIn("keep/big.bin", report)
        self.assertNotIn("small.txt", report)

        expected = harness.manifest(self.source)
        self.drive.ok("backup", "docs")
        self.assertRestores("docs", 2, expected, "src")
        report = json.loads(self.drive.ok("--json", "check", "docs", "--read-data", expect=1))
        self.assertEqual([False, False, True], [s["whole"] for s in report["snapshots"]])
        damaged = [d["path"] for d in report["snapshots"][0]["damaged"]]
        self.assertTrue(any(p.endswith("keep/big.bin") for p in damaged), damaged)

    def test_an_index_record_that_names_no_block_is_found_by_read_data(self):
        self.drive.ok("backup", "docs")
        expected = harness.manifest(self.source)
        # The second record's position, moved into the middle of a block.
        self.patch(b".ind", 32 + 24, (12345).to_bytes(8, "little"))
        self.assertEqual(0, self.drive.run("check", "docs").returncode)
        result = self.drive.run("check", "docs", "--read-data")
        self.assertEqual(1, result.returncode)
        self.assertIn(b"index file name no sound block", result.stdout + result.stderr)
        # The index only finds blocks again; the snapshot is whole.
        self.assertRestores("docs", 0, expected, "src")

    def test_a_sound_store_checks_clean(self):
        self.drive.ok("backup", "docs")
        out = self.drive.ok("check", "docs", "--read-data").decode()
        self.assertIn("0\twhole", out)
        self.assertIn("no damage found", out)


if __name__ == "__main__":
    harness.main()
