"""The README's walk-through, run as written: every `$ ` line of its sh block
is run by bash in a fresh copy of the drive folder, with a fresh home, and
what it prints (standard output and standard error, as on a terminal) must be
what the README shows below it. Only the home folder (/home/me in the README)
and the snapshot times may differ."""

import os
import re
import shutil
import subprocess

import harness

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")
TIME = re.compile(r"\b\w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}\b")


def walk_through():
    """[(command, expected output lines)] of the README's walk-through."""
    with open(README, encoding="utf-8") as f:
        text = f.read()
    block = re.search(r"A short walk-through:\s*```sh\n(.*?)```", text, re.S)
    assert block, "README.md has no walk-through"
    steps = []
    for line in block.group(1).splitlines():
        if line.startswith("$ "):
            steps.append((line[2:], []))
        else:
            steps[-1][1].append(line)
    return steps


class Readme(harness.DriveTest):
    def test_the_walk_through_runs_as_written(self):
        root = self.scratch_path("machine").decode()
        home = os.path.join(root, "home", "me")
        os.makedirs(home)
        drive = os.path.join(root, "build", "drive")
        shutil.copytree(os.path.dirname(harness.VAULTLINE), drive,
                        ignore=shutil.ignore_patterns("BackupStorage"))
        env = harness.environment()
        env["HOME"] = home
        folder = root
        steps = walk_through()
        self.assertGreater(len(steps), 10)
        for command, expected in steps:
            if command.startswith("cd "):
                folder = subprocess.run(["bash", "-c", command + " && pwd"], cwd=folder, env=env,
                                        capture_output=True, text=True, check=True).stdout.strip()
                continue
            result = subprocess.run(["bash", "-c", command], cwd=folder, env=env, text=True,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
            shown = TIME.sub("TIME", result.stdout.replace(home, "/home/me")).splitlines()
            self.assertEqual([TIME.sub("TIME", line) for line in expected], shown,
                             "README: $ %s" % command)


if __name__ == "__main__":
    harness.main()
