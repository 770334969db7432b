"""ls -l, find and diff over a selection with a history: names of every kind,
items changed in each way between snapshots, and damaged records, which are
named and never shown as another item."""

import base64
import json
import os

import harness

NEWLINE = b"two\nlines.txt"
NOT_UTF8 = b"not utf8 \xff.bin"
UMLAUT = "Grüße naïve.txt".encode()


def exact_path(entry):
    """A JSON path as the bytes of the name it stands for."""
    if "path_base64" in entry:
        return base64.b64decode(entry["path_base64"])
    return entry["path"].encode()


class History(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("src")
        self.tree = harness.Tree(self.source)
        self.tree.write(b"docs/report.txt", b"first report\n")
        self.tree.write(b"docs/same.txt", b"never changes\n")
        self.tree.write(b"with space/" + UMLAUT, b"umlaut\n")
        self.tree.write(NEWLINE, b"newline\n")
        self.tree.write(NOT_UTF8, b"bytes\n")
        self.tree.write(b"mode.sh", b"#!/bin/sh\n")
        self.tree.write(b"touched.txt", b"same bytes\n")
        self.tree.write(b"gone.txt", b"removed later\n")
        self.tree.link(b"link", b"docs/report.txt")
        self.tree.settle_folders()
        self.drive.ok("create", "src", self.source)
        self.drive.ok("config", "max-backup-size", 0)
        self.drive.ok("backup", "src")  # 0
        # 1: one file's contents, one's mode, one's time only, a link's
        # target; a file removed and one added.
        self.tree.write(b"docs/report.txt", b"second report\n")
        os.chmod(self.tree.path(b"mode.sh"), 0o755)
        self.tree.tick(self.tree.path(b"touched.txt"))
        self.tree.remove(b"link")
        self.tree.link(b"link", b"elsewhere")
        self.tree.remove(b"gone.txt")
        self.tree.write(b"docs/added.txt", b"new\n")
        self.tree.settle_folders()
        self.drive.ok("backup", "src")
        # 2: the report back to its first bytes, with a time of its own.
        self.tree.write(b"docs/report.txt", b"first report\n")
        self.tree.settle_folders()
        self.drive.ok("backup", "src")

    def json(self, *args, expect=0):
        return json.loads(self.drive.ok("--json", *args, expect=expect))

    def versions(self, *args, expect=0):
        document = self.json("find", "src", *args, expect=expect)
        return {(exact_path(v), tuple(v["snapshots"])) for v in document["versions"]}

    def test_ls_long_gives_each_items_details(self):
        items = {exact_path(i): i for i in self.json("ls", "src", "-l")["items"]}
        self.assertEqual(items[b"src/"]["type"], "folder")
        report = items[b"src/docs/report.txt"]
        self.assertEqual((report["type"], report["size"], report["mode"]), ("file", 13, "0644"))
        self.assertEqual(report["owner_id"], os.getuid())
        self.assertEqual(report["modified_seconds"],
                         int(os.lstat(self.tree.path(b"docs/report.txt")).st_mtime))
        self.assertRegex(report["modified"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")
        self.assertEqual(items[b"src/mode.sh"]["mode"], "0755")
        self.assertEqual((items[b"src/link"]["type"], items[b"src/link"]["link_target"]),
                         ("link", "elsewhere"))
        for name in (NEWLINE, NOT_UTF8, b"with space/" + UMLAUT):
            self.assertIn(b"src/" + name, items)

        lines = self.drive.ok("ls", "src", "-l").split(b"\n")
        self.assertTrue(lines[0].startswith(b"drwx") and lines[0].endswith(b"  src/"), lines[0])
        self.assertIn(b"src/link -> elsewhere", b"\n".join(lines))
        self.assertEqual(self.drive.ok("ls", "src").split(b"\n")[0], b"src/")

    def test_find_gives_each_version_once_with_its_snapshots(self):
        self.assertEqual(self.versions("report.txt"), {
            (b"src/docs/report.txt", (0,)),
            (b"src/docs/report.txt", (1,)),
            (b"src/docs/report.txt", (2,)),  # the same bytes as in 0, but a new time
        })
        self.assertEqual(self.versions("same.txt"), {(b"src/docs/same.txt", (0, 1, 2))})
        self.assertEqual(self.versions("touched.txt"),
                         {(b"src/touched.txt", (0,)), (b"src/touched.txt", (1, 2))})
        self.assertEqual(self.versions("gone.txt"), {(b"src/gone.txt", (0,))})
        # Names of every kind, by wildcards on the name.
        self.assertEqual(self.versions("two?lines.*"), {(b"src/" + NEWLINE, (0, 1, 2))})
        self.assertEqual(self.versions("not utf8 *"), {(b"src/" + NOT_UTF8, (0, 1, 2))})
        self.assertEqual(self.versions("Grüße*"), {(b"src/with space/" + UMLAUT, (0, 1, 2))})
        # A pattern with a separator is matched against the whole path.
        self.assertEqual({p for p, _ in self.versions("src/docs/*.txt", "src/*.sh")},
                         {b"src/docs/report.txt", b"src/docs/same.txt", b"src/docs/added.txt",
                          b"src/mode.sh"})
        self.assertEqual(self.versions("docs/*.txt"), set())  # anchored at the source's name

    def test_find_keeps_to_a_range_and_to_times(self):
        self.assertEqual(self.versions("report.txt", "--first", 1, "--last", 1),
                         {(b"src/docs/report.txt", (1,))})
        times = sorted({v["modified_seconds"]
                        for v in self.json("find", "src", "report.txt")["versions"]})
        newer = self.versions("report.txt", "--newer", "@%d" % times[0])
        self.assertEqual({s for _, s in newer}, {(1,), (2,)})
        older = self.versions("report.txt", "--older", "@%d" % times[2])
        self.assertEqual({s for _, s in older}, {(0,), (1,)})
        self.assertEqual(self.versions("*", "--newer", "2999-01-01"), set())
        result = self.drive.run("find", "src", "*", "--newer", "yesterday")
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"--newer", result.stderr)

    def test_diff_names_each_kind_of_change_with_sizes(self):
        document = self.json("diff", "src", 0, 1)
        changes = {exact_path(c.get("after") or c["before"]): c for c in document["changes"]}
        self.assertEqual(changes[b"src/docs/added.txt"]["change"], "added")
        self.assertEqual(changes[b"src/gone.txt"]["change"], "removed")
        self.assertEqual(changes[b"src/gone.txt"]["before"]["size"], 14)
        report = changes[b"src/docs/report.txt"]
        self.assertEqual((report["change"], report["what"]), ("changed", ["contents", "time"]))
        self.assertEqual((report["before"]["size"], report["after"]["size"]), (13, 14))
        self.assertEqual(changes[b"src/mode.sh"]["what"], ["mode"])
        self.assertEqual(changes[b"src/touched.txt"]["what"], ["time"])
        self.assertEqual(changes[b"src/link"]["what"], ["time", "link target"])
        for unchanged in (b"src/docs/same.txt", b"src/" + NEWLINE, b"src/" + NOT_UTF8):
            self.assertNotIn(unchanged, changes)

        text = self.drive.ok("diff", "src", 0, 1).decode().splitlines()
        self.assertIn("+\t4\tsrc/docs/added.txt", text)
        self.assertIn("-\t14\tsrc/gone.txt", text)
        self.assertIn("M\t13 -> 14\tcontents, time\tsrc/docs/report.txt", text)
        # The same bytes again, with another time: not a change of contents.
        back = {exact_path(c["after"]): c["what"] for c in self.json("diff", "src", 0, 2)["changes"]
                if c["change"] == "changed"}
        self.assertEqual(back[b"src/docs/report.txt"], ["time"])
        self.assertEqual(self.json("diff", "src", 2, 2)["changes"], [])

    def test_diff_names_a_change_of_owner(self):
        if os.getuid() != 0:
            self.skipTest("only root gives a file away")
        # Only the owner: the file's time and its folder's stay as they were.
        os.chown(self.tree.path(b"docs/same.txt"), 4321, 4322)
        with_now = {exact_path(c["after"]): c["what"]
                    for c in self.json("diff", "src", 2, "--with", self.source)["changes"]}
        self.assertEqual(with_now, {b"src/docs/same.txt": ["owner"]})
        self.drive.ok("backup", "src")
        changes = self.json("diff", "src", 2, 3)["changes"]
        self.assertEqual([(exact_path(c["after"]), c["what"]) for c in changes],
                         [(b"src/docs/same.txt", ["owner"])])
        self.assertEqual((changes[0]["before"]["owner_id"], changes[0]["after"]["owner_id"],
                          changes[0]["after"]["group_id"]), (0, 4321, 4322))

    def test_diff_with_a_folder_as_it_is_now(self):
        self.assertEqual(
            [c for c in self.json("diff", "src", "latest", "--with", self.source)["changes"]], [])
        self.tree.write(b"docs/same.txt", b"NEVER changes\n")  # same size, new bytes and time
        self.tree.tick(self.tree.path(b"docs/added.txt"))  # only a new time
        os.chmod(self.tree.path(b"mode.sh"), 0o700)
        self.tree.write(b"fresh.txt", b"fresh\n")
        self.tree.remove(NEWLINE)
        self.tree.settle_folders()
        changes = {exact_path(c.get("after") or c["before"]): (c["change"], c["what"])
                   for c in self.json("diff", "src", 2, "--with", self.source)["changes"]}
        self.assertEqual(changes[b"src/docs/same.txt"], ("changed", ["contents", "time"]))
        self.assertEqual(changes[b"src/docs/added.txt"], ("changed", ["time"]))
        self.assertEqual(changes[b"src/mode.sh"], ("changed", ["mode"]))
        self.assertEqual(changes[b"src/fresh.txt"], ("added", []))
        self.assertEqual(changes[b"src/" + NEWLINE], ("removed", []))
        self.assertNotIn(b"src/docs/report.txt", changes)
        missing = self.drive.run("diff", "src", 0, "--with", self.scratch_path("nowhere"))
        self.assertEqual(missing.returncode, 1)
        self.assertIn(b"nowhere", missing.stderr)

    def damage_record(self, name):
        """Breaks the magic of every directory record of the stored path `name`."""
        directory = next(os.path.join(parent, f) for parent, _, files in os.walk(self.drive.storage)
                         for f in files if f.endswith(b".dir"))
        with open(directory, "r+b") as f:
            data = f.read()
            wanted = os.path.join(self.source, name).decode().encode("utf-16-le") + b"\0\0"
            at = data.find(wanted)
            self.assertGreater(at, 0)
            while at >= 0:
                f.seek(at - 12)
                f.write(b"\0\0")
                at = data.find(wanted, at + 1)

    def test_a_damaged_record_is_named_not_shown_as_another_item(self):
        self.damage_record(b"docs/same.txt")
        result = self.drive.run("--json", "find", "src", "*.txt")
        self.assertEqual(result.returncode, 1)
        document = json.loads(result.stdout)
        self.assertTrue(document["problems"])
        self.assertTrue(all("src/docs" in p for p in document["problems"]), document["problems"])
        self.assertIn(b"src/docs", result.stderr)
        found = {exact_path(v) for v in document["versions"]}
        self.assertNotIn(b"src/docs/same.txt", found)
        self.assertIn(b"src/docs/report.txt", found)  # its siblings are still read
        for args in (("ls", "src", "-l", 0), ("diff", "src", 0, 1)):
            result = self.drive.run("--json", *args)
            self.assertEqual(result.returncode, 1, args)
            document = json.loads(result.stdout)
            shown = json.dumps(document)
            self.assertNotIn("same.txt", shown.replace(json.dumps(document["problems"]), ""))

    def test_a_damaged_link_target_is_named(self):
        storage = next(os.path.join(parent, f) for parent, _, files in os.walk(self.drive.storage)
                       for f in files if f.endswith(b".fp"))
        with open(storage, "r+b") as f:
            data = f.read()
            at = data.find(b"elsewhere")
            self.assertGreater(at, 0)
            f.seek(at)
            f.write(b"ELSEWHERE")
        result = self.drive.run("--json", "ls", "src", "-l")
        self.assertEqual(result.returncode, 1)
        link = next(i for i in json.loads(result.stdout)["items"] if i["path"] == "src/link")
        self.assertNotIn("link_target", {k: v for k, v in link.items() if v})
        self.assertIn("link target", link["damage"])
        self.assertIn(b"src/link", result.stderr)


if __name__ == "__main__":
    harness.main()
