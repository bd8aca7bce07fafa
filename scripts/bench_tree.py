"""Lists of whole trees: on a tree of many small files in many folders, `create --recursive` to an SFV
list against `rhash -r --sfv`, `verify --unlisted` against a plain verify of that list, and `update`
after a hundred files were added against a full `create --recursive`."""
import os
import random
import shutil

FILES, FOLDERS, ADDED = 100000, 1000, 100


def make_tree(top, files, folders, rng, start=0, prefix="d"):
    """`files` files of 1-4 KiB spread over `folders` folders, content unique per file."""
    pool = rng.randbytes(4096 + 65536)
    per = files // folders
    for d in range(folders):
        folder = os.path.join(top, "%s%04d" % (prefix, d))
        os.makedirs(folder, exist_ok=True)
        for k in range(per):
            i = start + d * per + k
            size = rng.randrange(1024, 4097)
            off = rng.randrange(0, len(pool) - size)
            with open(os.path.join(folder, "f%07d.bin" % i), "wb") as f:
                f.write((i.to_bytes(8, "little") + pool[off:off + size])[:size])


def rows(ctx):
    files, folders = (10000, 100) if ctx.quick else (FILES, FOLDERS)
    rng = random.Random(20261209)
    tree = os.path.join(ctx.work, "tree")
    make_tree(tree, files, folders, rng)
    cli, q = ctx.cli, "--quiet"
    lines = []

    # create --recursive against rhash -r --sfv, both reading every file once from the page cache (ours
    # then reads the new list back and verifies it, as create does).
    med, codes = ctx.measure([
        ("ours", [cli, "create", tree, os.path.join(tree, "tree.sfv"), "--recursive", q], tree),
        ("rhash -r --sfv", ["rhash", "-r", "--sfv", "-o", os.path.join(ctx.work, "rhash.sfv"), tree], tree),
    ], ctx.runs)
    if codes["ours"] != 0:
        ctx.notes.append("tree: create --recursive exited %d" % codes["ours"])
    tag = "T %d files in %d folders" % (files, folders)
    lines += ctx.ratio_lines(tag + ", create --recursive", med, ["rhash -r --sfv"])

    # verify --unlisted against verify of the same list: the unlisted walk costs names only.
    listed = os.path.join(tree, "tree.sfv")
    med, _ = ctx.measure([
        ("ours", [cli, "verify", listed, "--unlisted", q], tree),
        ("verify", [cli, "verify", listed, q], tree),
    ], ctx.runs)
    lines += ctx.ratio_lines(tag + ", verify --unlisted", med, ["verify"])

    # update after ADDED new files against a full create --recursive of the grown tree.
    base = os.path.join(tree, "base.sfv")
    shutil.copy(listed, base)
    os.remove(listed)
    kept = os.path.join(ctx.work, "base.sfv")
    shutil.copy(base, kept)
    make_tree(os.path.join(tree, "new"), ADDED, 10, rng, start=files, prefix="n")
    full = os.path.join(tree, "full.sfv")

    def before(label):
        if label == "ours":
            for stray in (full, os.path.join(tree, "tree.sfv")):
                if os.path.exists(stray):
                    os.remove(stray)
            shutil.copy(kept, base)

    med, codes = ctx.measure([
        ("ours", [cli, "update", base, "--recursive", q], tree),
        ("create --recursive", [cli, "create", tree, full, "--recursive", q], tree),
    ], ctx.runs, before)
    if codes["ours"] != 0:
        ctx.notes.append("tree: update exited %d" % codes["ours"])
    lines += ctx.ratio_lines(tag + ", update adding %d files" % ADDED, med, ["create --recursive"])
    ctx.notes.append("tree: targets create --recursive <= 1.2 x rhash -r --sfv, verify --unlisted <= 1.1 x "
                     "verify, update <= 0.1 x create --recursive")
    return lines
