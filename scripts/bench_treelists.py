"""Tree lists: a list naming 100,000 page-cached files of 512 bytes in 1,000 sub-folders (as rhash -r writes
it) beside rhash -c; a list of a million entries under one sub-folder that is not there beside rhash -c and
beside a flat list of a million missing files; the peak memory of the missing sub-folder's list.
The data stays in the section's folder between runs of the section, so a second run does not make it again."""
import os
import random
import zlib

FOLDERS = 1000
PER_FOLDER = 100
SIZE = 512
MILLION = 1_000_000


def _tree(ctx, folders, rng):
    top = os.path.join(ctx.work, "tree")
    lst = os.path.join(top, "list.sfv")
    if os.path.exists(lst):
        return top
    lines = []
    used = set()
    for d in range(folders):
        sub = "d%04d" % d
        os.makedirs(os.path.join(top, sub), exist_ok=True)
        for f in range(PER_FOLDER):
            while True:  # distinct CRCs: two files of one CRC would count as one content
                data = rng.randbytes(SIZE)
                crc = zlib.crc32(data)
                if crc not in used:
                    break
            used.add(crc)
            name = "%s/f%03d.bin" % (sub, f)
            with open(os.path.join(top, name), "wb") as out:
                out.write(data)
            lines.append("%s %08X\n" % (name, crc))
    rng.shuffle(lines)  # rhash -r lists in directory order, not by name
    with open(lst, "w") as out:
        out.writelines(lines)
    return top


def _missing(ctx, name, prefix, count):
    folder = os.path.join(ctx.work, name)
    lst = os.path.join(folder, "list.sfv")
    if not os.path.exists(lst):
        os.makedirs(folder, exist_ok=True)
        with open(lst, "wb") as f:
            f.write(b"".join(b"%sf%07d.bin %08X\n" % (prefix, i, (i * 2654435761) & 0xFFFFFFFF)
                             for i in range(count)))
    return folder, lst


def rows(ctx):
    rng = random.Random(31)
    scale = 10 if ctx.quick else 1
    out = []

    top = _tree(ctx, FOLDERS // scale, rng)
    files = FOLDERS // scale * PER_FOLDER
    lst = os.path.join(top, "list.sfv")
    print("treelists: %d files in %d folders" % (files, FOLDERS // scale), flush=True)
    med, codes = ctx.measure([("ours", [ctx.cli, "verify", lst], top), ("rhash -c", ["rhash", "-c", lst], top)],
                             ctx.runs)
    ctx.note_codes("treelists tree", codes, 0)
    out += ctx.ratio_lines("treelists: %d × 512 B in %d folders, cached" % (files, FOLDERS // scale), med,
                           ["rhash -c"])

    count = MILLION // scale
    gone_dir, gone = _missing(ctx, "gone", b"gone/", count)
    flat_dir, flat = _missing(ctx, "flat", b"", count)
    print("treelists: %d entries under a missing sub-folder" % count, flush=True)
    med, codes = ctx.measure([("ours", [ctx.cli, "verify", gone], gone_dir),
                              ("rhash -c", ["rhash", "-c", gone], gone_dir),
                              ("flat list", [ctx.cli, "verify", flat], flat_dir)], ctx.runs)
    ctx.note_codes("treelists missing", codes, 1)
    out += ctx.ratio_lines("treelists: %d entries, sub-folder missing" % count, med, ["rhash -c", "flat list"])

    rss = ctx.max_rss_kib([ctx.cli, "verify", gone], gone_dir)
    rss_flat = ctx.max_rss_kib([ctx.cli, "verify", flat], flat_dir)
    out.append("| treelists: peak memory, %d entries under a missing sub-folder | ours / flat list | %s KiB | %s KiB "
               "| %s | | | |" % (count, rss, rss_flat, ctx.fmt(rss / rss_flat, 2) if rss and rss_flat else "n/a"))
    return out
