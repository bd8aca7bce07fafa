"""Small files and cold reads: a verification of many page-cached small files beside rhash -c and cksfv -f;
a folder of small files and one large file read from the disk (page cache dropped before every run)
beside rhash -c and dd bs=1M; the peak memory of a list of a million entries whose files are missing.
The data stays in the section's folder between runs of the section, so a second run does not make it again."""
import os
import random
import zlib

CACHED_FILES = 100_000
COLD_FILES = 10_000
BIG = 1 << 30
MILLION = 1_000_000


def _verify_cmds(ctx, folder, peers):
    lst = os.path.join(folder, "list.sfv")
    cmds = [("ours", [ctx.cli, "verify", lst], folder)]
    if "rhash -c" in peers:
        cmds.append(("rhash -c", ["rhash", "-c", lst], folder))
    if "cksfv -f" in peers:
        cmds.append(("cksfv -f", ["cksfv", "-q", "-f", lst], folder))
    return cmds


def _files(ctx, name, sizes, rng):
    folder = os.path.join(ctx.work, name)
    lst = os.path.join(folder, "list.sfv")
    if not os.path.exists(lst):
        ctx.write_sfv(lst, ctx.make_files(folder, sizes, rng))
    return folder


def _big(ctx, size, rng):
    folder = os.path.join(ctx.work, "big")
    path = os.path.join(folder, "big.bin")
    lst = os.path.join(folder, "list.sfv")
    if not os.path.exists(lst):
        os.makedirs(folder, exist_ok=True)
        chunk = rng.randbytes(min(size, 64 << 20))
        crc = 0
        with open(path, "wb") as f:
            for i in range(size // len(chunk)):
                piece = i.to_bytes(8, "little") + chunk[8:]
                crc = zlib.crc32(piece, crc)
                f.write(piece)
        ctx.write_sfv(lst, [("big.bin", size, crc)])
    return folder, path


def rows(ctx):
    rng = random.Random(31)
    scale = 10 if ctx.quick else 1
    out = []

    cached = _files(ctx, "cached", [1024] * (CACHED_FILES // scale), rng)
    print("small: cached %d files of 1 KiB" % (CACHED_FILES // scale), flush=True)
    med, codes = ctx.measure(_verify_cmds(ctx, cached, ("rhash -c", "cksfv -f")), ctx.runs)
    ctx.note_codes("small cached", codes)
    out += ctx.ratio_lines("small: %d × 1 KiB, cached" % (CACHED_FILES // scale), med, ["rhash -c", "cksfv -f"])

    cold = _files(ctx, "cold", [rng.randint(1 << 10, 64 << 10) for _ in range(COLD_FILES // scale)], rng)
    big_folder, big = _big(ctx, BIG // scale, rng)
    if ctx.drop_caches():
        drop = lambda _label: ctx.drop_caches()
        print("small: cold %d files of 1-64 KiB" % (COLD_FILES // scale), flush=True)
        med, codes = ctx.measure(_verify_cmds(ctx, cold, ("rhash -c",)), ctx.runs, drop)
        ctx.note_codes("small cold files", codes)
        out += ctx.ratio_lines("small: %d × 1-64 KiB, cold" % (COLD_FILES // scale), med, ["rhash -c"])
        print("small: cold %d MiB file" % ((BIG // scale) >> 20), flush=True)
        med, codes = ctx.measure([("ours", [ctx.cli, "verify", os.path.join(big_folder, "list.sfv")], big_folder),
                                  ("dd bs=1M", ["dd", "if=" + big, "bs=1M", "of=/dev/null"], big_folder)],
                                 ctx.runs, drop)
        ctx.note_codes("small cold big file", codes)
        out += ctx.ratio_lines("small: %d MiB file, cold" % ((BIG // scale) >> 20), med, ["dd bs=1M"])
    else:
        ctx.notes.append("small: the cold rows are skipped: the page cache cannot be dropped here (needs root "
                         "outside a container: echo 3 > /proc/sys/vm/drop_caches).")

    # Peak memory of a list of a million entries whose files are all missing.
    m_dir = os.path.join(ctx.work, "million")
    m_list = os.path.join(m_dir, "list.sfv")
    m_count = MILLION // scale
    if not os.path.exists(m_list):
        os.makedirs(m_dir, exist_ok=True)
        with open(m_list, "wb") as f:
            f.write(b"".join(b"file%07d.bin %08X\r\n" % (i, (i * 2654435761) & 0xFFFFFFFF) for i in range(m_count)))
    rss = ctx.max_rss_kib([ctx.cli, "verify", m_list], m_dir)
    rss_rhash = ctx.max_rss_kib(["rhash", "-c", m_list], m_dir)
    out.append("| small: peak memory, %d missing entries | ours / rhash -c | %s KiB | %s KiB | %s | | | |"
               % (m_count, rss, rss_rhash, ctx.fmt(rss / rss_rhash, 2) if rss and rss_rhash else "n/a"))
    return out
