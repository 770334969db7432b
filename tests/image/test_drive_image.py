"""The portable drive image: made into a fresh folder, every program, library
and plugin on it finds what it needs on the drive or in the base system, no
search path leaves the drive, the command line is one static program, and the
desktop program started from the drive (with the host's Qt hidden where the
machine allows it) shows its main window, also when started through the
drive's desktop entry or, from a copy of the drive, through its autorun
script, which asks one question.

    test_drive_image.py SOURCE_DIR BUILD_DIR"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

SOURCE = BUILD = ""

# What the drive may take from the host (say so in the closing note when it
# changes): glibc, the graphics, X and Wayland client libraries, fontconfig
# and freetype.
BASE = re.compile(
    r"^(ld-linux-x86-64\.so\.2|lib(c|m|dl|pthread|rt|resolv|util)\.so\.\d+"
    r"|lib(GL|GLX|EGL|OpenGL|GLESv\d|GLdispatch|gbm|drm|vulkan|xshmfence)\.so\.\d+"
    r"|lib(X[A-Za-z0-9-]*|ICE|SM|xcb[a-z0-9-]*|wayland-[a-z]+)\.so\.\d+"
    r"|lib(fontconfig|freetype)\.so\.\d+)$"
)


def is_elf(path):
    with open(path, "rb") as f:
        return f.read(4) == b"\x7fELF"


def dynamic(path):
    """(NEEDED names, RUNPATH and RPATH entries) of an ELF file."""
    out = subprocess.run(["readelf", "-d", "-W", path], capture_output=True, text=True,
                         check=True).stdout
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out)
    paths = []
    for entry in re.findall(r"\((?:RUNPATH|RPATH)\)\s+Library r(?:un)?path: \[([^\]]*)\]", out):
        paths += entry.split(":")
    return needed, paths


def png_pixels(path):
    """Width, height and the inflated image rows of a PNG file."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    width, height = struct.unpack(">II", data[16:24])
    idat, at = b"", 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    return width, height, zlib.decompress(idat)


class DriveImageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="brindle-image-")
        # A folder name with a space: the desktop entry and the launch must
        # not split it.
        cls.drive = os.path.join(cls.work, "USB stick")
        subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "make-drive-image.py"),
                        cls.drive, "--build", BUILD], check=True, capture_output=True)
        cls.elves = []
        for folder, _, files in os.walk(cls.drive):
            cls.elves += [os.path.join(folder, f) for f in files if is_elf(os.path.join(folder, f))]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def inside(self, path):
        return os.path.realpath(path).startswith(os.path.realpath(self.drive) + os.sep)

    def environment(self):
        """A user's session: no build folder, no library path, a home and a
        runtime folder of its own (the desktop program's instance lock)."""
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(home, exist_ok=True)
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("LD_", "QT_", "BRINDLE_", "MARROWBY_"))}
        env.update(HOME=home, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="offscreen",
                   PATH="/usr/bin:/bin", LANG="C.UTF-8")
        return env

    def test_every_library_resolves_on_the_drive_or_in_the_base_system(self):
        self.assertGreater(len(self.elves), 20)
        for elf in self.elves:
            needed, paths = dynamic(elf)
            folders = []
            for entry in paths:
                self.assertTrue(entry.startswith("$ORIGIN"), "%s searches %s" % (elf, entry))
                folder = entry.replace("$ORIGIN", os.path.dirname(elf), 1)
                self.assertTrue(self.inside(folder) or os.path.realpath(folder) ==
                                os.path.realpath(self.drive), "%s searches %s" % (elf, entry))
                folders.append(folder)
            for name in needed:
                if BASE.match(name):
                    continue
                found = [f for f in folders if os.path.exists(os.path.join(f, name))]
                self.assertTrue(found, "%s needs %s, which is not on the drive" % (elf, name))

    def test_the_hosts_loader_takes_the_drives_copies(self):
        # What a base library pulls in may come from the host; what a file on
        # the drive names itself must come from the drive when it is there.
        on_drive = {name for folder, _, files in os.walk(self.drive) for name in files}
        for elf in self.elves:
            direct = set(dynamic(elf)[0])
            out = subprocess.run(["ldd", elf], capture_output=True, text=True).stdout
            for name, path in re.findall(r"^\s*(\S+) => (.+?)(?: \(0x[0-9a-f]+\))?$", out, re.M):
                self.assertNotEqual(path, "not found", "%s: %s not found" % (elf, name))
                if name in direct and name in on_drive:
                    self.assertTrue(self.inside(path), "%s takes %s from %s" % (elf, name, path))

    def test_the_command_line_needs_no_shared_library(self):
        program = os.path.join(self.drive, "vaultline")
        self.assertEqual(dynamic(program), ([], []))
        headers = subprocess.run(["readelf", "-l", "-W", program], capture_output=True, text=True,
                                 check=True).stdout
        self.assertNotIn("INTERP", headers)  # no loader: runs on any x86-64 Linux
        version = subprocess.run([program, "--version"], capture_output=True, text=True,
                                 env=self.environment())
        self.assertEqual(version.stdout.strip(), "vaultline 1.0.2")

    def hide_host_qt(self):
        """A shell prefix that, in a mount namespace of its own, lays empty
        files over the host's Qt libraries and an empty folder over its
        plugins; empty when the machine does not allow it."""
        if not shutil.which("unshare") or subprocess.run(
                ["unshare", "-m", "true"], capture_output=True).returncode != 0:
            return ""
        empty_file = os.path.join(self.work, "empty")
        empty_folder = os.path.join(self.work, "empty.d")
        open(empty_file, "w").close()
        os.makedirs(empty_folder, exist_ok=True)
        mounts = []
        for folder in ("/usr/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu"):
            if os.path.isdir(folder):
                for name in sorted(os.listdir(folder)):
                    path = os.path.join(folder, name)
                    if name.startswith("libQt6") and os.path.isfile(path):
                        mounts.append((empty_file, os.path.realpath(path)))
        for folder in ("/usr/lib/x86_64-linux-gnu/qt6/plugins",):
            if os.path.isdir(folder):
                mounts.append((empty_folder, folder))
        return "".join('mount --bind "%s" "%s" && ' % m for m in sorted(set(mounts)))

    def start_marrowby(self, picture, command, trace=False):
        """Runs `command` (which starts marrowby) with the host's Qt hidden
        when the machine allows it; `trace` has the loader report every
        library marrowby itself loads."""
        env = self.environment()
        env["MARROWBY_GRAB_WINDOW"] = picture
        hide = self.hide_host_qt()
        script = hide + ("LD_DEBUG=libs " if trace else "") + 'exec "$@"'
        prefix = ["unshare", "-m"] if hide else []
        result = subprocess.run(prefix + ["sh", "-c", script, "sh"] + command, capture_output=True,
                                text=True, env=env, timeout=60)
        return result, bool(hide)

    def assert_main_window(self, picture):
        width, height, rows = png_pixels(picture)
        self.assertGreaterEqual(width, 400)
        self.assertGreaterEqual(height, 300)
        self.assertGreater(len(set(rows)), 16, "the window is blank")

    def test_the_desktop_program_starts_from_the_drive(self):
        source = os.path.join(self.work, "Documents")
        os.makedirs(source, exist_ok=True)
        subprocess.run([os.path.join(self.drive, "vaultline"), "create", "documents", source],
                       check=True, capture_output=True, env=self.environment())
        picture = os.path.join(self.work, "main window.png")
        result, hidden = self.start_marrowby(picture, [os.path.join(self.drive, "marrowby")],
                                             trace=True)
        self.assertEqual(result.returncode, 0, result.stderr[-3000:])
        loaded = set(re.findall(r"calling init: (.+)$", result.stderr, re.M))
        qt = [path for path in loaded if "libQt6" in path or "/plugins/" in path]
        self.assertTrue(any(p.endswith("platforms/libqoffscreen.so") for p in qt), qt)
        self.assertTrue(any(p.endswith("iconengines/libqsvgicon.so") for p in qt), qt)
        on_drive = {name for folder, _, files in os.walk(self.drive) for name in files}
        for path in loaded:
            if os.path.basename(path) in on_drive or "libQt6" in path:
                self.assertTrue(self.inside(path), "%s comes from the host" % path)
        self.assert_main_window(picture)
        if os.environ.get("MARROWBY_SCREENSHOTS"):
            shutil.copy(picture, os.path.join(os.environ["MARROWBY_SCREENSHOTS"], "drive-image.png"))
        if not hidden:
            print("note: the host's Qt could not be hidden (no mount namespace)", file=sys.stderr)

    def test_the_desktop_entry_starts_the_program_beside_it(self):
        # GLib reads and starts the entry as a file manager does, then returns;
        # the program writes its picture and ends by itself.
        launch = ("import ctypes, sys\n"
                  "gio = ctypes.CDLL('libgio-2.0.so.0')\n"
                  "gio.g_desktop_app_info_new_from_filename.restype = ctypes.c_void_p\n"
                  "gio.g_app_info_launch.argtypes = [ctypes.c_void_p] * 4\n"
                  "info = gio.g_desktop_app_info_new_from_filename(sys.argv[1].encode())\n"
                  "sys.exit(0 if info and gio.g_app_info_launch(info, None, None, None) else 1)\n")
        picture = os.path.join(self.work, "from the entry.png")
        wait = ('"$1" -c "$2" "$3" || exit 1; n=0;'
                ' while [ ! -s "$4" ] && [ $n -lt 300 ]; do sleep 0.1; n=$((n+1)); done; sleep 0.5')
        entry = os.path.join(self.drive, "Brindle+.desktop")
        result, _ = self.start_marrowby(
            picture, ["sh", "-c", wait, "sh", sys.executable, launch, entry, picture])
        self.assertEqual(result.returncode, 0, result.stderr[-3000:])
        self.assert_main_window(picture)

    def test_the_autorun_script_starts_the_program_with_the_drive_as_its_drive(self):
        # The file manager offers autorun.sh (or .autorun) at the root of the
        # mounted drive; it may run it by its path or as "sh autorun.sh" in
        # the drive's folder. A copy of the drive with a stand-in program
        # that writes down how it was started.
        for name in ("autorun.sh", ".autorun"):
            self.assertTrue(os.access(os.path.join(self.drive, name), os.X_OK), name)
        copy = os.path.join(self.work, "copy of the stick $HOME")
        os.makedirs(copy, exist_ok=True)
        for name in ("autorun.sh", ".autorun"):
            shutil.copy2(os.path.join(self.drive, name), os.path.join(copy, name))
        record = os.path.join(self.work, "started.txt")
        stand_in = os.path.join(copy, "marrowby")
        with open(stand_in, "w") as f:
            f.write('#!/bin/sh\nfor a in "$0" "$@"; do printf "%s\\n" "$a"; done > "$RECORD"\n')
        os.chmod(stand_in, 0o755)
        elsewhere = os.path.join(self.work, "home")
        os.makedirs(elsewhere, exist_ok=True)
        env = dict(self.environment(), RECORD=record)
        starts = [([os.path.join(copy, "autorun.sh")], elsewhere),
                  (["sh", "autorun.sh"], copy),
                  ([os.path.join(copy, ".autorun")], "/")]
        for command, folder in starts:
            os.remove(record) if os.path.exists(record) else None
            result = subprocess.run(command, cwd=folder, env=env, capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(record) as f:
                self.assertEqual(f.read().splitlines(),
                                 [stand_in, "--drive", copy, "--offer-backup"], command)

    def test_the_autorun_script_of_a_copied_drive_asks_once(self):
        # The real programs, on a copy of the drive under another name, with a
        # selection never backed up (past any reminder age): the autorun's
        # question is the one question at start.
        copy = os.path.join(self.work, "copy of the stick")
        shutil.copytree(self.drive, copy, symlinks=True, copy_function=os.link,
                        ignore=shutil.ignore_patterns("BackupStorage"))
        source = os.path.join(self.work, "Letters")
        os.makedirs(source, exist_ok=True)
        subprocess.run([os.path.join(copy, "vaultline"), "create", "letters", source],
                       check=True, capture_output=True, env=self.environment())
        self.assertTrue(os.path.isdir(os.path.join(copy, "BackupStorage")))
        picture = os.path.join(self.work, "from the autorun.png")
        result, _ = self.start_marrowby(picture, [os.path.join(copy, "autorun.sh")])
        self.assertEqual(result.returncode, 0, result.stderr[-3000:])
        self.assertEqual([line for line in result.stdout.splitlines()
                          if line.startswith("question: ")], ["question: Back up now?"])
        self.assert_main_window(picture)


if __name__ == "__main__":
    SOURCE, BUILD = sys.argv.pop(1), sys.argv.pop(1)
    unittest.main(verbosity=2)
