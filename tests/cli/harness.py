"""Shared pieces of the command line's end-to-end tests: running the built
vaultline against a private drive folder, generating source trees, and
describing a tree so that a restore can be compared with its source."""

import hashlib
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

VAULTLINE = os.environ.get("VAULTLINE", "")
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for these scripts


def main():
    """unittest.main with the program path taken from the first argument."""
    global VAULTLINE
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        VAULTLINE = os.path.abspath(sys.argv.pop(1))
    if not VAULTLINE or not os.path.exists(VAULTLINE):
        sys.exit("usage: %s PATH_TO_VAULTLINE" % sys.argv[0])
    result = unittest.main(exit=False, verbosity=2).result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun and len(result.skipped) == result.testsRun:
        sys.exit(SKIPPED)


def environment():
    return dict(os.environ)


class Drive:
    """A folder that stands for the program's folder, given to vaultline with
    --drive; the storage is in BackupStorage/ below it."""

    def __init__(self, folder, program=None):
        self.folder = os.fsencode(folder)
        self.program = program or VAULTLINE

    def command(self, *args):
        return [self.program, b"--drive", self.folder] + [
            a if isinstance(a, bytes) else str(a) for a in args
        ]

    def run(self, *args, timeout=300):
        return subprocess.run(
            self.command(*args), capture_output=True, timeout=timeout, env=environment()
        )

    def start(self, *args):
        return subprocess.Popen(
            self.command(*args),
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            env=environment(),
        )

    def ok(self, *args, expect=0):
        """Runs vaultline and fails with its output unless it exits `expect`."""
        result = self.run(*args)
        if result.returncode != expect:
            raise AssertionError(
                "vaultline %r exited %d, expected %d\nstdout: %r\nstderr: %r"
                % (args, result.returncode, expect, result.stdout[-2000:], result.stderr[-2000:])
            )
        return result.stdout

    @property
    def storage(self):
        return os.path.join(self.folder, b"BackupStorage")

    def storage_bytes(self):
        return folder_bytes(self.storage)

    def snapshot_count(self, selection):
        return len(self.ok("snapshots", selection).splitlines())


def folder_bytes(folder):
    total = 0
    for parent, _, files in os.walk(folder):
        for name in files:
            total += os.lstat(os.path.join(parent, name)).st_size
    return total


def digest(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            sha.update(block)
    return sha.hexdigest()


def manifest(root):
    """Every item below root as the engine should keep it: links as links
    with their targets, never followed; fifos, sockets and devices as nodes of
    their kind. Maps the relative path (bytes) to (kind, digest or target or
    device, mtime, read-only)."""
    root = os.fsencode(root)
    found = {}

    def walk(folder, relative):
        for entry in sorted(os.scandir(folder), key=lambda e: e.name):
            path = relative + b"/" + entry.name if relative else entry.name
            try:
                info = os.lstat(entry.path)
            except FileNotFoundError:
                continue
            mtime = int(info.st_mtime)
            if stat.S_ISDIR(info.st_mode):
                found[path] = ("folder", None, mtime, False)
                walk(entry.path, path)
            elif stat.S_ISREG(info.st_mode):
                read_only = not info.st_mode & stat.S_IWUSR
                found[path] = ("file", digest(entry.path), mtime, read_only)
            elif stat.S_ISLNK(info.st_mode):
                found[path] = ("link", os.readlink(entry.path), mtime, False)
            else:
                kind = stat.S_IFMT(info.st_mode)
                device = info.st_rdev if stat.S_ISCHR(kind) or stat.S_ISBLK(kind) else None
                found[path] = (kind, device, mtime, False)

    walk(root, b"")
    return found


def differences(expected, actual):
    """A readable list of what differs between two manifests."""
    lines = []
    for path in sorted(set(expected) | set(actual)):
        if path not in actual:
            lines.append("missing: %r" % path)
        elif path not in expected:
            lines.append("unexpected: %r" % path)
        elif expected[path] != actual[path]:
            lines.append("differs: %r %r != %r" % (path, actual[path], expected[path]))
    return lines


class Tree:
    """Writes files with chosen contents and modification times; every write
    gets a time of its own, so that a change is never hidden by a file
    keeping its size within the same second."""

    def __init__(self, root, seed=1):
        self.root = os.fsencode(root)
        self.random = random.Random(seed)
        self.clock = 1_600_000_000

    def path(self, relative):
        return os.path.join(self.root, os.fsencode(relative))

    def tick(self, path):
        self.clock += 7
        os.utime(path, (self.clock, self.clock), follow_symlinks=False)

    def noise(self, size):
        return self.random.randbytes(size)

    def write(self, relative, data, read_only=False):
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.exists(path):
            os.chmod(path, 0o644)
        with open(path, "wb") as f:
            f.write(data)
        if read_only:
            os.chmod(path, 0o444)
        self.tick(path)

    def read(self, relative):
        with open(self.path(relative), "rb") as f:
            return f.read()

    def folder(self, relative):
        os.makedirs(self.path(relative), exist_ok=True)

    def link(self, relative, target):
        os.makedirs(os.path.dirname(self.path(relative)), exist_ok=True)
        os.symlink(os.fsencode(target), self.path(relative))
        self.tick(self.path(relative))

    def remove(self, relative):
        path = self.path(relative)
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.remove(path)

    def settle_folders(self):
        """Gives every folder a fixed time, after the writes below it."""
        for parent, folders, _ in os.walk(self.root, topdown=False):
            for name in folders:
                path = os.path.join(parent, name)
                if not os.path.islink(path):
                    self.tick(path)


def awkward_tree(root, seed=1, big=3 << 20):
    """A tree with the cases a backup gets wrong most easily."""
    tree = Tree(root, seed)
    tree.folder(b"nested/deeper/deepest/bottom")
    tree.write(b"empty.txt", b"")
    tree.write(b"nested/deeper/empty too", b"")
    tree.write(b"nested/deeper/deepest/bottom/leaf.txt", b"leaf\n")
    tree.write(b"exactly 299.bin", tree.noise(299))
    tree.write(b"exactly 300.bin", tree.noise(300))
    tree.write(b"exactly 301.bin", tree.noise(301))
    tree.write(b"big/random.bin", tree.noise(big))
    tree.write(b"big/repeating.bin", tree.noise(64 << 10) * (big // (32 << 10)))
    tree.write(b"with space and \"double\" and 'single' quotes.txt", b"quotes\n")
    tree.write(b"semi;colon;name.txt", b"semicolons\n")
    tree.write("Grüße, naïve café – 日本語.txt".encode(), "non-ASCII\n".encode())
    tree.write("astral \U0001F600 \U0001D11E.txt".encode(), b"astral\n")
    tree.write(b"not utf8 \xff\xfe \xc3(.bin", tree.noise(1000))
    tree.write(b"folder \xe9\x80 not utf8/inner.txt", b"inner\n")
    tree.write(b"read-only.txt", b"do not change me\n", read_only=True)
    tree.link(b"link to file", b"semi;colon;name.txt")
    tree.link(b"link to folder", b"nested")
    tree.link(b"dangling link", b"nowhere")
    tree.settle_folders()
    return tree


class DriveTest(unittest.TestCase):
    """A test with a private drive folder and scratch space, removed after."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="vaultline-e2e-")
        self.drive = Drive(os.path.join(self.scratch, "drive"))
        os.makedirs(self.drive.folder)
        # Cleanups run last-in first-out: this one after whatever a test
        # mounted below the scratch folder is gone again.
        self.addCleanup(self.remove_scratch)

    def remove_scratch(self):
        for parent, folders, files in os.walk(self.scratch):
            for name in folders + files:
                path = os.path.join(parent, name)
                if not os.path.islink(path):
                    os.chmod(path, 0o755)
        shutil.rmtree(self.scratch, ignore_errors=True)

    def scratch_path(self, *parts):
        return os.path.join(os.fsencode(self.scratch), *[os.fsencode(p) for p in parts])

    def assertRestores(self, selection, snapshot, expected, source_name):
        """Restores a whole snapshot into a fresh folder and compares it."""
        target = self.scratch_path("restore-%s-%s" % (selection, snapshot))
        shutil.rmtree(target, ignore_errors=True)
        self.drive.ok("restore", selection, snapshot, "--to", target)
        actual = manifest(os.path.join(target, os.fsencode(source_name)))
        self.assertEqual([], differences(expected, actual), "snapshot %s" % snapshot)
        shutil.rmtree(target, ignore_errors=True)
