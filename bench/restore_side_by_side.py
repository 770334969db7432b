#!/usr/bin/env python3
"""A full restore side by side with cp -a and restic's restore, in one run.

Uses end_to_end.py's generated tree (the 1 GiB home-folder tree at scale 1).
Backs it up once with the built command line and once with restic (from
the system's packages: RESTIC_PASSWORD is set here), then times, round
after round and in turns, each of the three writing the whole tree into a
fresh folder on the same disk: our restore of the latest snapshot, cp -a of
the tree, restic's restore of its latest. Each is checked byte for byte
once. Prints the median wall, user and system seconds of each and the
ratios of their medians (above 1: ours is faster).

  bench/restore_side_by_side.py --cli build/tools/vaultline --work /tmp/sbs
  bench/restore_side_by_side.py --scale 0.25 --rounds 5 ...
"""

import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from end_to_end import Content, Tree, compare_trees, tree_arguments, write_tree  # noqa: E402


def timed(argv, env=None):
    """Wall, user and system seconds of a command, after a sync."""
    os.sync()
    before = os.times()
    start = time.monotonic()
    done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    wall = time.monotonic() - start
    after = os.times()
    if done.returncode != 0:
        sys.exit("%s failed (%d):\n%s" % (" ".join(argv), done.returncode,
                                           done.stderr.decode(errors="replace")[-2000:]))
    return (wall, after.children_user - before.children_user,
            after.children_system - before.children_system)


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def main():
    parser = tree_arguments(__doc__, "/tmp/vaultline-sbs")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    tree = Tree(args.seed, args.scale)
    source = os.path.join(args.work, "tree-%d-%g" % (args.seed, args.scale))
    if not os.path.exists(source + ".key") or open(source + ".key").read() != tree.key():
        print("generating %s ..." % source, file=sys.stderr)
        write_tree(tree, Content(args.seed), source)
    drive = os.path.join(args.work, "drive")
    repo = os.path.join(args.work, "restic")
    for path in (drive, repo):
        shutil.rmtree(path, ignore_errors=True)
    os.makedirs(drive)
    env = dict(os.environ, RESTIC_PASSWORD="side-by-side")

    vl = [cli, "--drive", drive]
    timed(vl + ["create", "home", source])
    timed(vl + ["config", "max-backup-size", str(1 << 50)])
    timed(vl + ["backup", "0"])
    timed(["restic", "-q", "-r", repo, "init"], env)
    timed(["restic", "-q", "-r", repo, "backup", source], env)

    contenders = {
        "our restore": lambda to: vl + ["restore", "0", "latest", "--to", to],
        "cp -a": lambda to: ["cp", "-a", source, to],
        "restic restore": lambda to: ["restic", "-q", "-r", repo, "restore", "latest",
                                      "--target", to],
    }
    # Where each puts the tree below the folder it is given.
    placed = {
        "our restore": lambda to: os.path.join(to, os.path.basename(source)),
        "cp -a": lambda to: os.path.join(to, os.path.basename(source)),
        "restic restore": lambda to: os.path.join(to, source.lstrip("/")),
    }
    figures = {name: [] for name in contenders}
    names = list(contenders)
    for round_ in range(args.rounds):
        # In turns, so that a drift of the machine's speed is shared.
        order = names[round_ % len(names):] + names[:round_ % len(names)]
        for name in order:
            to = fresh_folder(os.path.join(args.work, "to"))
            figures[name].append(timed(contenders[name](to), env))
            if round_ == 0:
                compare_trees(source, placed[name](to))
    shutil.rmtree(os.path.join(args.work, "to"), ignore_errors=True)

    print("%d files, %.0f MiB; %d rounds; load average %s" % (
        len(tree.files), sum(f[1] for f in tree.files) / (1 << 20), args.rounds,
        " ".join("%.2f" % x for x in os.getloadavg())))
    medians = {}
    for name in names:
        walls = [f[0] for f in figures[name]]
        medians[name] = statistics.median(walls)
        print("%-15s wall %6.2f s (min %.2f, max %.2f)  user %5.2f s  sys %5.2f s" % (
            name, medians[name], min(walls), max(walls),
            statistics.median(f[1] for f in figures[name]),
            statistics.median(f[2] for f in figures[name])))
    ours = medians["our restore"]
    print("speed of our restore: %.2fx that of cp -a (target 1.3), %.2fx restic's (target 1.0)" % (
        medians["cp -a"] / ours, medians["restic restore"] / ours))


if __name__ == "__main__":
    main()
