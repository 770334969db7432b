#!/usr/bin/env python3
"""Lays out a portable drive folder from a build: the programs, the engine and
language libraries, the help, the manual page and completion, a desktop entry,
and every shared library and Qt plugin the desktop program needs that the base
system does not provide, with a qt.conf. Every program, library and plugin in
the folder finds its libraries relative to its own folder ($ORIGIN), so the
folder runs wherever it is mounted, on a machine without Qt.

    scripts/make-drive-image.py DEST [--build BUILD_DIR]

A BackupStorage/ already in DEST is left alone: making the image again over a
drive updates the programs and keeps the backups."""

import argparse
import os
import re
import shutil
import subprocess
import sys

# What every desktop Linux system has and what must come from the host: the C
# library, the graphics drivers' client libraries (they must match the host's
# drivers), the X (with ICE and SM) and Wayland client libraries, and fontconfig with freetype
# (tied to the host's font configuration). Everything else is bundled,
# libstdc++ and libgcc_s included, so that an older system runs the program.
BASE_SYSTEM = re.compile(
    r"^(ld-linux-x86-64\.so\.2|lib(c|m|dl|pthread|rt|resolv|util)\.so\.\d+"
    r"|lib(GL|GLX|EGL|OpenGL|GLESv\d|GLdispatch)\.so\.\d+|libgbm\.so\.\d+|libdrm\.so\.\d+"
    r"|libvulkan\.so\.\d+|lib(X[A-Za-z0-9-]*|ICE|SM)\.so\.\d+|libxcb[a-z0-9-]*\.so\.\d+|libxshmfence\.so\.\d+"
    r"|libwayland-[a-z]+\.so\.\d+|libfontconfig\.so\.\d+|libfreetype\.so\.\d+)$"
)

# The Qt plugins the desktop program uses: the screens it can run on, SVG for
# its artwork and icons, OpenGL under X, and composed keys (dead keys on German
# keyboards) and IBus input.
QT_PLUGINS = {
    "platforms": ["libqxcb.so", "libqwayland-generic.so", "libqwayland-egl.so", "libqoffscreen.so",
                  "libqminimal.so"],
    "imageformats": ["libqsvg.so", "libqico.so"],
    "iconengines": ["libqsvgicon.so"],
    "xcbglintegrations": ["libqxcb-glx-integration.so", "libqxcb-egl-integration.so"],
    "wayland-shell-integration": ["libxdg-shell.so"],
    "wayland-graphics-integration-client": ["libqt-plugin-wayland-egl.so"],
    "wayland-decoration-client": ["libbradient.so"],
    "platforminputcontexts": ["libcomposeplatforminputcontextplugin.so",
                              "libibusplatforminputcontextplugin.so"],
    "platformthemes": ["libqgtk3.so", "libqxdgdesktopportal.so"],
}
REQUIRED_PLATFORMS = {"libqxcb.so", "libqoffscreen.so"}

# The build's drive files that go onto the stick as they are.
DRIVE_FILES = ["marrowby", "vaultline", "libvaultline.so", "1031", "HelpFiles", "vaultline.1",
               "vaultline.bash", "Brindle+.desktop", "marrowby.svg", "autorun.sh", ".autorun"]

QT_CONF = """[Paths]
Prefix = .
Libraries = lib
Plugins = plugins
Translations = 1031
"""


def needed(path):
    """The NEEDED entries of an ELF file's dynamic section."""
    out = subprocess.run(["readelf", "-d", "-W", path], capture_output=True, text=True,
                         check=True).stdout
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out)


def resolved(path):
    """Where the host's loader finds each library of `path`: soname -> file."""
    out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
    found = {}
    for line in out.splitlines():
        m = re.match(r"\s*(\S+) => (/\S+)", line)
        if m:
            found[m.group(1)] = m.group(2)
    return found


def set_runpath(path, runpath):
    subprocess.run(["patchelf", "--set-rpath", runpath, path], check=True)


def qt_plugin_folder():
    for tool in ("qmake6", "qtpaths6"):
        if shutil.which(tool):
            out = subprocess.run([tool, "-query", "QT_INSTALL_PLUGINS"], capture_output=True,
                                 text=True).stdout.strip()
            if out and os.path.isdir(out):
                return out
    sys.exit("error: Qt's plugin folder not found (qmake6 -query QT_INSTALL_PLUGINS)")


class Image:
    def __init__(self, dest):
        self.dest = dest
        self.lib = os.path.join(dest, "lib")
        self.bundled = set()

    def bundle_for(self, elf):
        """Copies into lib/ every library `elf` needs, directly or through
        other bundled libraries, that is not part of the base system."""
        where = resolved(elf)
        pending = [elf]
        while pending:
            for name in needed(pending.pop()):
                if BASE_SYSTEM.match(name) or name in self.bundled:
                    continue
                if os.path.exists(os.path.join(os.path.dirname(elf), name)):
                    continue  # beside the program: the engine library
                source = where.get(name)
                if source is None:
                    sys.exit("error: %s needs %s, which the host's loader does not find" % (elf, name))
                target = os.path.join(self.lib, name)
                shutil.copy2(os.path.realpath(source), target)
                os.chmod(target, 0o755)
                set_runpath(target, "$ORIGIN")
                self.bundled.add(name)
                pending.append(target)

    def add_plugins(self, qt_plugins):
        copied = set()
        for kind, names in QT_PLUGINS.items():
            for name in names:
                source = os.path.join(qt_plugins, kind, name)
                if not os.path.exists(source):
                    continue
                os.makedirs(os.path.join(self.dest, "plugins", kind), exist_ok=True)
                target = os.path.join(self.dest, "plugins", kind, name)
                shutil.copy2(source, target)
                set_runpath(target, "$ORIGIN/../../lib")
                self.bundle_for(target)
                copied.add(name)
        missing = REQUIRED_PLATFORMS - copied
        if missing:
            sys.exit("error: Qt platform plugins missing: " + ", ".join(sorted(missing)))


def copy_entry(source, target):
    if os.path.isdir(source):
        shutil.copytree(source, target, dirs_exist_ok=True)
    else:
        shutil.copy2(source, target)


def make(dest, build):
    drive = os.path.join(build, "drive")
    for name in DRIVE_FILES:
        if not os.path.exists(os.path.join(drive, name)):
            sys.exit("error: %s is missing; build first (scripts/build.sh)" % os.path.join(drive, name))
    os.makedirs(dest, exist_ok=True)
    # lib/ and plugins/ belong to the image alone: made anew each time.
    for own in ("lib", "plugins"):
        shutil.rmtree(os.path.join(dest, own), ignore_errors=True)
    for name in DRIVE_FILES:
        copy_entry(os.path.join(drive, name), os.path.join(dest, name))
    # The build's debugging information stays in the build folder.
    programs = ["marrowby", "vaultline", "libvaultline.so", os.path.join("1031", "language.so")]
    subprocess.run(["strip", "--strip-debug"] + [os.path.join(dest, p) for p in programs], check=True)
    image = Image(dest)
    os.makedirs(image.lib)
    set_runpath(os.path.join(dest, "marrowby"), "$ORIGIN:$ORIGIN/lib")
    set_runpath(os.path.join(dest, "libvaultline.so"), "$ORIGIN:$ORIGIN/lib")
    set_runpath(os.path.join(dest, "1031", "language.so"), "$ORIGIN/../lib")
    for elf in programs:
        if elf != "vaultline":
            image.bundle_for(os.path.join(dest, elf))
    image.add_plugins(qt_plugin_folder())
    with open(os.path.join(dest, "qt.conf"), "w") as conf:
        conf.write(QT_CONF)
    return image


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("dest", help="the drive folder to lay out")
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"),
                        help="the build folder (default: build/)")
    args = parser.parse_args()
    for tool in ("readelf", "patchelf", "ldd", "strip"):
        if not shutil.which(tool):
            sys.exit("error: %s is missing; scripts/install-deps.sh installs it" % tool)
    image = make(os.path.abspath(args.dest), os.path.abspath(args.build))
    print("%s: %d libraries bundled" % (args.dest, len(image.bundled)))


if __name__ == "__main__":
    main()
