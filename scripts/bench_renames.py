"""R: a repair that only renames misnamed files inside the list's folder, against one verification of the
repaired set. Half the files carry each other's names (a shuffled permutation: cycles, so some files are
parked), the other half names no entry. Before every repair the wrong names are put back and the run
waits a few seconds, as for files misnamed some time ago (a file changed just before its verification is
read again after the rename)."""
import os
import random
import time

FILES = 50000
SETTLE = 3.5  # seconds between putting the wrong names back and the repair (outside the timing)


def rows(ctx):
    n = 2000 if ctx.quick else FILES
    rng = random.Random(20261209)
    folder = os.path.join(ctx.work, "r")
    entries = ctx.make_files(folder, [1024] * n, rng)
    lst = os.path.join(folder, "list.sfv")
    ctx.write_sfv(lst, entries)
    names = [e[0] for e in entries]
    half = names[: n // 2]
    shuffled = half[:]
    rng.shuffle(shuffled)
    wrong = dict(zip(half, shuffled))
    for name in names[n // 2:]:
        wrong[name] = "x" + name[1:-4] + ".dat"

    def misname():
        # Through a name of their own first: the permutation has cycles.
        for right in wrong:
            os.rename(os.path.join(folder, right), os.path.join(folder, right + ".tmp"))
        for right, w in wrong.items():
            os.rename(os.path.join(folder, right + ".tmp"), os.path.join(folder, w))

    misname()
    time.sleep(SETTLE)

    def before(label):
        if label != "ours":
            return
        if not os.path.exists(os.path.join(folder, names[-1])):
            return  # the warm-up's first run finds the wrong names in place
        misname()
        time.sleep(SETTLE)

    # What the renames alone cost the file system: half the files renamed away and back, as many renames as
    # the pass makes, the folder left as it was.
    floor = ("import os\nnames = sorted(n for n in os.listdir('.') if n.endswith('.bin'))[:%d]\n"
             "for n in names: os.rename(n, n + '.x')\nfor n in names: os.rename(n + '.x', n)\n" % (n // 2))
    med, codes = ctx.measure([("ours", [ctx.cli, "repair", lst], folder),
                              ("verify", [ctx.cli, "verify", lst], folder),
                              ("renames", ["python3", "-c", floor], folder)], ctx.runs, before)
    if codes.get("ours") != 0:
        ctx.notes.append("R: repair exit %d" % codes["ours"])
    ctx.notes.append("R: `tallyvault-cli repair LIST` renaming %d files of 1 KiB in the list's folder (half a shuffled "
                     "permutation of their names, half names of no entry) against `tallyvault-cli verify LIST` of "
                     "the result; target <= 2.0." % n)
    ctx.notes.append("R: the second row is the floor the file system sets: %d renames in the same folder by a Python "
                     "loop, against the same verification." % n)
    lines = ctx.ratio_lines("R: rename pass, %d files" % n, med, ["verify"])
    floor_med = type(med)({"ours": med["renames"], "verify": med["verify"]})
    floor_med.cpu = {"ours": med.cpu["renames"], "verify": med.cpu["verify"]}
    return lines + ctx.ratio_lines("R: %d renames alone (Python loop)" % n, floor_med, ["verify"])
