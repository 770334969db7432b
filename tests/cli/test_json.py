"""The JSON documents of the commands that change the drive: create, backup,
restore, forget and compact. Each is one document on standard output whose
figures agree with the drive, also when the command fails part-way."""

import glob
import json
import os

import harness


class Json(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("docs")
        self.tree = harness.Tree(self.source)
        self.tree.write(b"notes.txt", b"first notes\n")
        self.tree.write(b"photos/a.jpg", self.tree.noise(40000))
        self.tree.write(b"photos/b.jpg", self.tree.noise(50000))
        self.tree.write(b"film.mkv", self.tree.noise(300000))
        self.tree.settle_folders()
        created = self.json("create", "docs", self.source)
        self.assertEqual(created, {"index": 0, "name": "docs", "source": os.fsdecode(self.source)})
        self.drive.ok("config", "max-backup-size", 0)

    def json(self, *args, expect=0):
        return json.loads(self.drive.ok("--json", *args, expect=expect))

    def test_backup_counts_files_bytes_and_skipped(self):
        first = self.json("backup", "docs")
        stored = first.pop("newBytes")
        self.assertEqual(first, {"selection": 0, "snapshot": 0, "files": 4, "changedFiles": 4,
                                 "bytes": 12 + 40000 + 50000 + 300000, "skipped": 0})
        self.assertGreater(stored, 12 + 40000 + 50000 + 300000)
        self.drive.ok("config", "max-file-size", 100000)
        self.tree.write(b"notes.txt", b"second notes\n")
        partial = self.json("backup", "docs", expect=3)  # a snapshot, but not whole
        self.assertEqual((partial["snapshot"], partial["files"], partial["skipped"]), (1, 3, 1))
        self.assertEqual(partial["bytes"], 13 + 40000 + 50000)
        # Of the three files it holds, one changed; the photos were stored before.
        self.assertEqual(partial["changedFiles"], 1)
        self.assertLess(partial["newBytes"], 40000)

    def test_snapshots_tell_what_each_holds_stored_and_left_out(self):
        self.drive.ok("backup", "docs")
        self.drive.ok("config", "max-file-size", 100000)
        self.drive.ok("backup", "docs", expect=3)
        listed = self.json("snapshots", "docs")["snapshots"]
        texts = self.drive.ok("snapshots", "docs").decode().splitlines()
        self.assertEqual([s["index"] for s in listed], [0, 1])
        for snapshot, line in zip(listed, texts):
            # Local time with its offset; the time text stays beside it.
            self.assertRegex(snapshot["time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")
            self.assertEqual(line.split("\t")[1], snapshot["text"])
        self.assertEqual((listed[0]["files"], listed[0]["bytes"], listed[0]["skipped"]),
                         (4, 390012, 0))
        self.assertEqual((listed[1]["files"], listed[1]["changedFiles"], listed[1]["skipped"]),
                         (3, 0, 1))
        self.assertEqual(listed[1]["skippedKinds"], {"oversize": 1, "pathTooLong": 0,
                                                     "unreadable": 0, "unreadFolders": 0})
        self.assertLess(listed[1]["newBytes"], 20000)  # records only, no contents
        self.assertTrue(texts[1].endswith("1 skipped (1 over the size limit)"), texts[1])

        # Without the sidecar (a drive written before it) the files and their
        # size are counted; what only the backup knew is unknown, not invented.
        (figures,) = glob.glob(os.path.join(self.drive.storage, b"*", b"Dir", b"file.figures"))
        os.remove(figures)
        counted = self.json("snapshots", "docs")["snapshots"]
        self.assertEqual([(s["files"], s["bytes"]) for s in counted],
                         [(s["files"], s["bytes"]) for s in listed])
        self.assertEqual({(s["newBytes"], s["skipped"], s["skippedKinds"]) for s in counted},
                         {(None, None, None)})
        self.assertIn("new data unknown\tskipped unknown",
                      self.drive.ok("snapshots", "docs").decode())

    def test_restore_lists_what_it_could_not_write(self):
        self.drive.ok("backup", "docs")
        whole = self.scratch_path("whole")
        document = self.json("restore", "docs", 0, "--to", whole)
        self.assertEqual(document, {"selection": 0, "snapshot": 0, "destination": os.fsdecode(whole),
                                    "restored": 4, "failed": []})
        # A folder where a file goes: that file fails, the others arrive, and
        # its path as ls prints it can be passed back as ITEM.
        blocked = self.scratch_path("blocked")
        os.makedirs(os.path.join(blocked, b"docs", b"photos", b"a.jpg", b"inside"))
        document = self.json("restore", "docs", 0, "--to", blocked, expect=1)
        self.assertEqual(document["failed"], [{"path": "docs/photos/a.jpg"}])
        self.assertEqual(document["restored"], 3)
        listed = self.drive.ok("ls", "docs", 0).decode().splitlines()
        self.assertIn(document["failed"][0]["path"], listed)

    def test_forget_and_compact_report_what_they_did(self):
        for round in range(3):
            self.tree.write(b"round.bin", self.tree.noise(200000 + round))
            self.tree.settle_folders()
            self.drive.ok("backup", "docs")
        times = [s["text"] for s in self.json("snapshots", "docs")["snapshots"]]

        dry = self.json("forget", "docs", "--keep-last", 1, "--dry-run")
        self.assertEqual(dry, {"selection": 0, "dryRun": True, "forget": [
            {"index": 0, "time": times[0]}, {"index": 1, "time": times[1]}]})
        self.assertEqual(self.drive.snapshot_count("docs"), 3)

        forgot = self.json("forget", "docs", 0)
        self.assertEqual(forgot, {"selection": 0, "dryRun": False,
                                  "forget": [{"index": 0, "time": times[0]}]})
        compacted = self.json("compact", "docs")
        self.assertEqual(set(compacted), {"selection", "before", "after", "freed"})
        self.assertGreater(compacted["freed"], 200000)  # the forgotten round.bin
        self.assertEqual(compacted["freed"], compacted["before"] - compacted["after"])

        both = self.json("forget", "docs", 0, "--compact")  # one document for both steps
        self.assertEqual(both["forget"], [{"index": 0, "time": times[1]}])
        self.assertGreater(both["compacted"]["freed"], 200000)
        self.assertLess(both["compacted"]["after"], compacted["after"])
        self.assertEqual(self.drive.snapshot_count("docs"), 1)


if __name__ == "__main__":
    harness.main()
