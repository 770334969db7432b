"""vaultline mount through the kernel: every snapshot as a read-only folder
whose files read as their sources did, writes refused, damage shown as an
I/O error and named, never as other bytes, and the mount ended by Ctrl-C or
fusermount3 -u. Skipped where /dev/fuse is missing or mounting is not
permitted."""

import errno
import os
import re
import select
import shutil
import signal
import subprocess
import time

import harness


def restore_default_interrupt():
    # A shell starts background programs with Ctrl-C ignored; the test
    # stands for the user at the terminal.
    signal.signal(signal.SIGINT, signal.SIG_DFL)


class Mount(harness.DriveTest):
    def setUp(self):
        if not os.path.exists("/dev/fuse") or not shutil.which("fusermount3"):
            self.skipTest("/dev/fuse or fusermount3 is missing")
        super().setUp()
        self.source = self.scratch_path("src")
        self.tree = harness.awkward_tree(self.source, big=2 << 20)
        os.mkfifo(self.tree.path(b"a fifo"))
        os.link(self.tree.path(b"big/random.bin"), self.tree.path(b"big/second name.bin"))
        self.tree.settle_folders()
        self.first = harness.manifest(self.source)
        self.drive.ok("create", "docs", self.source)
        self.drive.ok("config", "max-backup-size", 0)
        self.drive.ok("backup", "docs")
        self.tree.write(b"nested/deeper/empty too", b"no longer empty\n")
        self.tree.remove(b"exactly 300.bin")
        self.tree.settle_folders()
        self.second = harness.manifest(self.source)
        self.drive.ok("backup", "docs")
        self.folder = self.scratch_path("mnt")
        os.mkdir(self.folder)

    def mount(self):
        process = subprocess.Popen(
            self.drive.command("mount", "docs", self.folder),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=harness.environment(),
            preexec_fn=restore_default_interrupt)
        self.addCleanup(self.unmount, process)
        ready, _, _ = select.select([process.stdout], [], [], 30)
        line = process.stdout.readline() if ready else b""
        if not line.startswith(b"mounted"):
            process.wait(timeout=30)
            error = process.stderr.read()
            if b"could not be mounted" in error:
                self.skipTest("mounting is not permitted here: %r" % error)
            self.fail("mount did not start: %r" % error)
        return process

    def unmount(self, process):
        if process.poll() is None:
            subprocess.run(["fusermount3", "-u", "-z", self.folder], capture_output=True)
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        process.stdout.close()
        process.stderr.close()

    def snapshot_folders(self):
        names = os.listdir(self.folder)
        self.assertEqual(b"latest", names[-1])
        return names[:-1]

    def test_every_snapshot_reads_as_its_source_did(self):
        self.mount()
        folders = self.snapshot_folders()
        self.assertEqual(2, len(folders))
        for name in folders:
            self.assertRegex(name.decode(), r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d(_2)?$")
        for folder, expected in ((folders[0], self.first), (folders[1], self.second),
                                 (b"latest", self.second)):
            shown = harness.manifest(os.path.join(self.folder, folder, b"src"))
            self.assertEqual([], harness.differences(expected, shown), folder)
        # The two names of one file are one file there too.
        big = os.path.join(self.folder, b"latest", b"src", b"big")
        first, second = (os.stat(os.path.join(big, n)) for n in (b"random.bin",
                                                                  b"second name.bin"))
        self.assertEqual(first.st_ino, second.st_ino)
        self.assertEqual(2, first.st_nlink)

    def test_writes_are_refused_and_a_backup_waits_for_the_unmount(self):
        process = self.mount()
        src = os.path.join(self.folder, b"latest", b"src")
        attempts = [
            lambda: open(os.path.join(src, b"empty.txt"), "wb"),
            lambda: open(os.path.join(src, b"new.txt"), "xb"),
            lambda: os.mkdir(os.path.join(src, b"new folder")),
            lambda: os.unlink(os.path.join(src, b"empty.txt")),
            lambda: os.rename(os.path.join(src, b"empty.txt"), os.path.join(src, b"moved")),
            lambda: os.chmod(os.path.join(src, b"empty.txt"), 0o777),
            lambda: os.utime(os.path.join(src, b"empty.txt")),
        ]
        for attempt in attempts:
            with self.assertRaises(OSError) as raised:
                attempt()
            self.assertEqual(errno.EROFS, raised.exception.errno)

        result = self.drive.run("backup", "docs")
        self.assertEqual(1, result.returncode)
        self.assertIn(b"is in use by another process", result.stderr)
        # The other commands read the catalogue under the same lock: they say
        # why they cannot, never that there are no snapshots.
        for command in (("snapshots", "docs"), ("ls", "docs"), ("find", "docs", "*"),
                        ("check", "docs")):
            result = self.drive.run(*command)
            self.assertEqual(1, result.returncode, command)
            self.assertIn(b"is in use by another process", result.stderr, command)
            self.assertNotIn(b"has no snapshots", result.stderr, command)
        # Readers share the selection: a second mount and a listing go on.
        other = self.scratch_path("mnt2")
        os.mkdir(other)
        second = subprocess.Popen(self.drive.command("mount", "docs", other),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  env=harness.environment())
        self.assertTrue(second.stdout.readline().startswith(b"mounted"))
        self.assertIn(b"latest", os.listdir(other))
        subprocess.run(["fusermount3", "-u", other], check=True)
        self.assertEqual(0, second.wait(timeout=30))
        second.stdout.close()
        second.stderr.close()

        subprocess.run(["fusermount3", "-u", self.folder], check=True)
        self.assertEqual(0, process.wait(timeout=30))
        self.assertFalse(os.path.ismount(self.folder))
        self.drive.ok("backup", "docs")

    def test_a_damaged_block_is_an_io_error_named_on_the_console(self):
        (location,) = [os.path.join(p, b"file") for p, _, names in os.walk(self.drive.storage)
                       if b"file" in names]
        with open(location, "r+b") as data:
            data.seek(40 + 5000)  # inside the first block stored: big/random.bin's
            data.write(b"\xff\x00\xff")
        process = self.mount()
        src = os.path.join(self.folder, b"latest", b"src")
        with self.assertRaises(OSError) as raised:
            with open(os.path.join(src, b"big", b"random.bin"), "rb") as damaged:
                damaged.read()
        self.assertEqual(errno.EIO, raised.exception.errno)
        # What does not need the block still reads.
        with open(os.path.join(src, b"nested/deeper/deepest/bottom/leaf.txt"), "rb") as leaf:
            self.assertEqual(b"leaf\n", leaf.read())

        process.send_signal(signal.SIGINT)
        self.assertEqual(0, process.wait(timeout=30))
        self.assertFalse(os.path.ismount(self.folder))
        warnings = process.stderr.read()
        self.assertIn(b"warning: The stored contents of", warnings)
        self.assertIn(os.path.join(self.source, b"big", b"random.bin"), warnings)
        self.assertIn(b"damaged", warnings)


if __name__ == "__main__":
    harness.main()
