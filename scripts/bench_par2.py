"""PAR2 sets: a set of 20 files (1 GiB in all) made by `par2 create` with 1 MiB blocks and 5 % recovery data,
verified from its .par2 file beside `par2 verify` and md5sum over the same files; then the same set with one
file renamed, where ours finds it by the MD5 of its first 16 KiB (at most one extra whole read: the row
"renamed / undamaged" stays near 1) and par2 is given the renamed file. Page-cached data.
The set stays in the section's folder between runs of the section, so a second run does not make it again."""
import os
import subprocess

FILES = 20
TOTAL = 1 << 30


def _set(ctx, size_each):
    folder = os.path.join(ctx.work, "set")
    par = os.path.join(folder, "set.par2")
    names = ["f%02d.bin" % i for i in range(FILES)]
    if not os.path.exists(par):
        os.makedirs(folder, exist_ok=True)
        for n in names:
            with open(os.path.join(folder, n), "wb") as f:
                left = size_each
                while left > 0:
                    piece = os.urandom(min(left, 16 << 20))
                    f.write(piece)
                    left -= len(piece)
        print("par2: making the set with par2 create", flush=True)
        subprocess.run(["par2", "create", "-q", "-q", "-s1048576", "-r5", "set.par2"] + names, cwd=folder,
                       check=True, stdout=subprocess.DEVNULL)
    return folder, names


def rows(ctx):
    if subprocess.run(["sh", "-c", "command -v par2"], capture_output=True).returncode != 0:
        ctx.notes.append("par2: the rows are skipped: par2 is not installed (scripts/setup installs it).")
        return []
    scale = 10 if ctx.quick else 1
    size_each = TOTAL // scale // FILES
    folder, names = _set(ctx, size_each)
    tag = "par2: %d files, %d MiB in all" % (FILES, size_each * FILES >> 20)
    out = []

    print("par2: undamaged set", flush=True)
    med, codes = ctx.measure([("ours", [ctx.cli, "verify", "set.par2", "--quiet"], folder),
                              ("par2 verify", ["par2", "verify", "-q", "set.par2"], folder),
                              ("md5sum", ["md5sum"] + names, folder)], ctx.runs)
    ctx.note_codes("par2 undamaged", codes)
    out += ctx.ratio_lines(tag + ", undamaged", med, ["par2 verify", "md5sum"])

    # One file renamed for the renamed rows, back under its name for the undamaged one.
    moved, renamed = os.path.join(folder, names[7]), os.path.join(folder, "renamed.bin")

    def before(label):
        if label == "ours undamaged":
            if os.path.exists(renamed):
                os.rename(renamed, moved)
        elif os.path.exists(moved):
            os.rename(moved, renamed)

    print("par2: one file renamed", flush=True)
    try:
        med, codes = ctx.measure([("ours", [ctx.cli, "verify", "set.par2", "--quiet"], folder),
                                  ("par2 verify", ["par2", "verify", "-q", "set.par2", "renamed.bin"], folder),
                                  ("ours undamaged", [ctx.cli, "verify", "set.par2", "--quiet"], folder)],
                                 ctx.runs, before)
    finally:
        if os.path.exists(renamed):
            os.rename(renamed, moved)
    ctx.note_codes("par2 renamed", {k: v for k, v in codes.items() if k != "ours undamaged"}, expected=1)
    out += ctx.ratio_lines(tag + ", one renamed", med, ["par2 verify", "ours undamaged"])
    return out
