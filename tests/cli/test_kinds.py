"""A home folder holding every kind of item, backed up twice and restored
whole as root and as an ordinary user; every item that is not kept is named
and makes the exit status 3."""

import os
import socket
import stat
import subprocess

import harness

PARTIAL = 3
NOBODY = 65534


def as_nobody():
    os.setgid(NOBODY)
    os.setuid(NOBODY)


def described(root):
    """Every item below root by lstat: kind, all mode bits, owner, time in
    nanoseconds, a link's target or a device's number or a file's digest,
    its extended attributes, and which names share a file."""
    root = os.fsencode(root)
    found = {}
    files = {}
    for parent, folders, names in os.walk(root):
        for name in folders + names:
            path = os.path.join(parent, name)
            info = os.lstat(path)
            kind = stat.S_IFMT(info.st_mode)
            if stat.S_ISLNK(kind):
                what = os.readlink(path)
            elif stat.S_ISREG(kind):
                what = harness.digest(path)
            elif stat.S_ISCHR(kind) or stat.S_ISBLK(kind):
                what = info.st_rdev
            else:
                what = None
            try:
                attributes = sorted(
                    (a, os.getxattr(path, a, follow_symlinks=False))
                    for a in os.listxattr(path, follow_symlinks=False)
                )
            except OSError:
                attributes = []
            shared = None
            if stat.S_ISREG(kind) and info.st_nlink > 1:
                shared = files.setdefault((info.st_dev, info.st_ino), os.path.relpath(path, root))
            relative = os.path.relpath(path, root)
            found[relative] = (kind, stat.S_IMODE(info.st_mode), info.st_uid, info.st_gid,
                               info.st_mtime_ns, what, attributes, shared)
    return found


def home_tree(root):
    """Dotfiles managed with links, a virtual environment's links, a fifo, a
    socket, hard links, set-ID and sticky bits, extended attributes and, where
    this user may make them, devices and files of other owners."""
    tree = harness.Tree(root)
    tree.write(b".dotfiles/bashrc", b"export PATH\n")
    tree.link(b".bashrc", b".dotfiles/bashrc")
    tree.write(b"venv/bin/python3.11", b"\x7fELF...")
    tree.link(b"venv/bin/python", b"python3.11")
    tree.link(b"venv/lib64", b"lib")
    tree.folder(b"venv/lib")
    tree.link(b".local/bin/tool", b"/usr/bin/env")
    tree.link(b"broken", b"../no/such/place")
    os.mkfifo(tree.path(b"control.fifo"))
    tree.tick(tree.path(b"control.fifo"))
    with socket.socket(socket.AF_UNIX) as listening:
        listening.bind(tree.path(b"agent.sock"))
    tree.tick(tree.path(b"agent.sock"))
    tree.folder(b"vm")
    with open(tree.path(b"vm/disk.img"), "wb") as disk:  # an image mostly holes
        disk.truncate(256 << 20)
        disk.seek(100 << 20)
        disk.write(tree.noise(4096))
    tree.tick(tree.path(b"vm/disk.img"))
    tree.write(b"bin/tool", b"#!/bin/sh\n")
    os.chmod(tree.path(b"bin/tool"), 0o4755)
    os.link(tree.path(b"bin/tool"), tree.path(b"bin/same-tool"))
    tree.folder(b"shared")
    os.chmod(tree.path(b"shared"), 0o1777)
    tree.folder(b"project")
    os.chmod(tree.path(b"project"), 0o2775)
    tree.write(b"project/notes.txt", b"notes\n")
    try:
        os.setxattr(tree.path(b"project/notes.txt"), b"user.origin", b"https://example.invalid/\xff")
    except OSError:
        pass  # a file system without user attributes
    if os.geteuid() == 0:
        tree.write(b"theirs.txt", b"another user's\n")
        os.chown(tree.path(b"theirs.txt"), 1234, 5678)
        os.chown(tree.path(b"project"), 1234, 5678)
        os.chmod(tree.path(b"project"), 0o2775)
        os.mknod(tree.path(b"null-copy"), stat.S_IFCHR | 0o640, os.makedev(1, 3))
        os.mknod(tree.path(b"loop-copy"), stat.S_IFBLK | 0o600, os.makedev(7, 9))
        tree.tick(tree.path(b"null-copy"))
        tree.tick(tree.path(b"loop-copy"))
    tree.settle_folders()
    return tree


class Kinds(harness.DriveTest):
    def setUp(self):
        super().setUp()
        self.source = self.scratch_path("home")
        self.tree = home_tree(self.source)
        self.drive.ok("create", "home", self.source)
        # The quota counts a sparse file at its length.
        self.drive.ok("config", "max-backup-size", 0)

    def test_every_kind_comes_back_and_an_unchanged_backup_stores_nothing(self):
        expected = described(self.source)
        self.drive.ok("backup", "home")
        size = self.drive.storage_bytes()
        self.drive.ok("backup", "home")
        self.assertLess(self.drive.storage_bytes() - size, 16 << 10)
        for snapshot in (0, 1):
            target = self.scratch_path("restore-%d" % snapshot)
            self.drive.ok("restore", "home", snapshot, "--to", target)
            restored = described(os.path.join(target, b"home"))
            self.assertEqual(sorted(expected), sorted(restored))
            for path in expected:
                self.assertEqual(expected[path], restored[path], path)
            # The image's holes stay holes.
            disk = os.path.join(target, b"home/vm/disk.img")
            self.assertLessEqual(os.lstat(disk).st_blocks * 512, (1 << 20))
        listed = self.drive.ok("ls", "home", "latest").splitlines()
        self.assertIn(b"home/.bashrc -> .dotfiles/bashrc", listed)
        self.assertIn(b"home/broken -> ../no/such/place", listed)

    def test_a_link_whose_path_leaves_no_room_for_its_kind_is_named(self):
        # The longest path a record holds is 511 units; a link needs 12 fewer.
        prefix = len(os.fsencode(self.source)) + 1
        long_folder = b"f" * 200 + b"/" + b"g" * 200
        os.makedirs(os.path.join(self.tree.path(long_folder)))
        name = b"l" * (505 - prefix - len(long_folder) - 1)
        long_link = os.path.join(self.tree.path(long_folder), name)
        os.symlink(b"target", long_link)
        result = self.drive.run("backup", "home")
        self.assertEqual(PARTIAL, result.returncode, result.stderr)
        self.assertIn(name, result.stderr)

    def open_to_everyone(self):
        for parent, folders, files in os.walk(self.scratch):
            for name in folders + files:
                path = os.path.join(parent, name)
                if not os.path.islink(path):
                    os.chmod(path, 0o777 if os.path.isdir(path) else 0o666)
        os.chmod(self.scratch, 0o777)

    def as_nobody(self, *args):
        return subprocess.run(
            self.drive.command(*args),
            capture_output=True,
            env=harness.environment(),
            preexec_fn=as_nobody,
        )

    def test_entries_an_ordinary_user_cannot_describe_are_named(self):
        if os.geteuid() != 0:
            self.skipTest("needs a user to become another")
        self.tree.write(b"closed/inside.txt", b"x")
        self.open_to_everyone()
        # Listed, but not searched: the entry's name is all there is.
        os.chmod(self.tree.path(b"closed"), 0o444)
        for _ in range(2):
            result = self.as_nobody("backup", "home")
            self.assertEqual(PARTIAL, result.returncode, result.stderr)
            self.assertIn(b"closed/inside.txt", result.stderr)

    def test_devices_restored_by_an_ordinary_user_are_named(self):
        if os.geteuid() != 0:
            self.skipTest("only the administrator makes the devices to back up")
        self.drive.ok("backup", "home")
        target = self.scratch_path("user-restore")
        os.makedirs(target)
        self.open_to_everyone()
        result = self.as_nobody("restore", "home", "latest", "--to", target)
        self.assertEqual(PARTIAL, result.returncode, result.stderr)
        for device in (b"null-copy", b"loop-copy"):
            self.assertIn(device, result.stderr)
        restored = os.path.join(target, b"home")
        self.assertTrue(stat.S_ISFIFO(os.lstat(os.path.join(restored, b"control.fifo")).st_mode))
        self.assertEqual(b".dotfiles/bashrc", os.readlink(os.path.join(restored, b".bashrc")))


if __name__ == "__main__":
    harness.main()
