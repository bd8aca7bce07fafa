"""The hashing workers: the default (one thread a core, the disk asked of the system) against
`--threads 1`, and against the peers, on the sets the issue names. Each row states the core count: on
a 2-core machine the best a ratio against one thread can be is 0.5.

  - 10,000 files of 1-64 KiB in a SHA-256 list: default / --threads 1, default / sha256sum -c, and
    --threads 2, 4, 8 / --threads 1 (the scaling curve)
  - 4 files of 512 MiB in a SHA-256 list: default / --threads 1
  - one 1 GiB file in a BLAKE3 list: default / --threads 1, default / b3sum
  - create --recursive of the 10,000-file set as .sha256: default / --threads 1
  - 100,000 files of 1 KiB in a CRC-32 list: default / --threads 1, default / rhash -c
  - --disk hdd on the 10,000-file set: / --threads 1
  - cold (page cache dropped before every run, where allowed): 1 GiB CRC-32 and SHA-256 / dd bs=1M,
    10,000 files CRC-32 / rhash -c, 10,000 files SHA-256 / --threads 1
"""
import hashlib
import os
import random
import shutil
import subprocess
import zlib


def write_set(folder, sizes, seed):
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(seed)
    pool = rng.randbytes(max(sizes) + 4096)
    entries = []
    for i, size in enumerate(sizes):
        off = rng.randrange(0, len(pool) - size + 1)
        data = (i.to_bytes(8, "little") + pool[off:off + size])[:size]
        name = "f%07d.bin" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        entries.append((name, data))
    return entries


def sha256_list(path, entries):
    with open(path, "w") as f:
        for name, data in entries:
            f.write("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))


def sfv_list(path, entries):
    with open(path, "w", newline="") as f:
        for name, data in entries:
            f.write("%s %08X\r\n" % (name, zlib.crc32(data)))


def file_digest(path, algorithm):
    h = hashlib.new(algorithm)
    with open(path, "rb") as f:
        while True:
            b = f.read(16 << 20)
            if not b:
                return h.hexdigest()
            h.update(b)


def rows(ctx):
    cores = os.cpu_count() or 0
    tag = lambda text: "%s (%d cores)" % (text, cores)
    cli = ctx.cli
    lines = []
    verify = lambda lst, *more: [cli, "verify", lst, "--quiet", *more]
    one = ("--threads", "1")

    def pair(text, ours, base, cwd, peers, expected=0):
        # A set just written is still being written back to the disk: its flushing would take a core in
        # the middle of the runs (100,000 new files did), so it is on the disk before they start.
        os.sync()
        med, codes = ctx.measure([("ours", ours, cwd)] + [(label, cmd, cwd) for label, cmd in base], ctx.runs)
        ctx.note_codes(text, codes, expected)
        lines.extend(ctx.ratio_lines(tag(text), med, peers))

    # 10,000 small files, SHA-256.
    n_small = 1000 if ctx.quick else 10000
    small = os.path.join(ctx.work, "small")
    rng = random.Random(41)
    entries = write_set(small, [rng.randint(1 << 10, 64 << 10) for _ in range(n_small)], 41)
    sha_small = os.path.join(small, "SHA256SUMS")
    sha256_list(sha_small, entries)
    pair("%d files of 1-64 KiB, SHA-256 list" % n_small, verify(sha_small),
         [("--threads 1", verify(sha_small, *one)), ("sha256sum -c", ["sha256sum", "-c", "--quiet", sha_small])],
         small, ["--threads 1", "sha256sum -c"])
    pair("%d files of 1-64 KiB, SHA-256 list, --disk hdd" % n_small, verify(sha_small, "--disk", "hdd"),
         [("--threads 1", verify(sha_small, *one))], small, ["--threads 1"])
    # The scaling curve: the same set at 2, 4 and 8 threads against one (past the core count, the
    # threads share the cores).
    for n in (2, 4, 8):
        pair("%d files of 1-64 KiB, SHA-256 list, --threads %d" % (n_small, n), verify(sha_small, "--threads", str(n)),
             [("--threads 1", verify(sha_small, *one))], small, ["--threads 1"])

    # create --recursive of the same set. The list is written in an empty folder beside the set, not in it
    # (where the runs after the first would find it): its check then finds none of the files, and create
    # ends with 1. A folder of its own: the check would read every other file beside the list.
    os.makedirs(os.path.join(ctx.work, "created"), exist_ok=True)
    out = os.path.join(ctx.work, "created", "created.sha256")
    create = lambda *more: [cli, "create", small, out, "--recursive", "--quiet", *more]
    pair("create --recursive of %d files as .sha256" % n_small, create(), [("--threads 1", create(*one))],
         ctx.work, ["--threads 1"], expected=1)

    # 4 big files, SHA-256.
    big_size = (16 << 20) if ctx.quick else (512 << 20)
    bigs = os.path.join(ctx.work, "bigs")
    os.makedirs(bigs, exist_ok=True)
    with open(os.path.join(bigs, "SHA256SUMS"), "w") as f:
        block = os.urandom(16 << 20)
        for i in range(4):
            name = "b%d.bin" % i
            with open(os.path.join(bigs, name), "wb") as g:
                for k in range(big_size // len(block)):
                    g.write(bytes([i]) + k.to_bytes(8, "little") + block[9:])
            f.write("%s  %s\n" % (file_digest(os.path.join(bigs, name), "sha256"), name))
    sha_bigs = os.path.join(bigs, "SHA256SUMS")
    pair("4 files of %d MiB, SHA-256 list" % (big_size >> 20), verify(sha_bigs), [("--threads 1", verify(sha_bigs, *one))],
         bigs, ["--threads 1"])

    # One 1 GiB file, BLAKE3.
    size = (64 << 20) if ctx.quick else (1 << 30)
    big = ctx.big_file(size)
    b3 = os.path.join(os.path.dirname(big), "big-workers.b3")
    with open(b3, "w") as f:
        f.write("%s  %s\n" % (subprocess.run(["b3sum", "--no-mmap", big], capture_output=True, text=True, check=True)
                              .stdout.split()[0] if shutil.which("b3sum") else "", os.path.basename(big)))
    peers = [("--threads 1", verify(b3, *one))]
    if shutil.which("b3sum"):
        peers.append(("b3sum", ["b3sum", "--no-mmap", big]))
    pair("one %d MiB file, BLAKE3 list" % (size >> 20), verify(b3), peers, os.path.dirname(big),
         [label for label, _ in peers])

    # 100,000 files of 1 KiB, CRC-32. Nearly all of it is the walk itself and the system's work per file
    # (the listing's look at each file, then its open, read and close), not the hashing: the workers read
    # the files whole, 64 at a time. Against rhash -c as the issue names it (a line a file, as ours
    # prints) and against rhash -c --skip-ok, which prints nothing for a good file.
    n_tiny = 10000 if ctx.quick else 100000
    tiny = os.path.join(ctx.work, "tiny")
    tiny_entries = write_set(tiny, [1024] * n_tiny, 7)
    sfv = os.path.join(tiny, "tiny.sfv")
    sfv_list(sfv, tiny_entries)
    peers = [("--threads 1", verify(sfv, *one))]
    if shutil.which("rhash"):
        peers.append(("rhash -c", ["rhash", "-c", sfv]))
        peers.append(("rhash -c --skip-ok", ["rhash", "-c", "--skip-ok", sfv]))
    pair("%d files of 1 KiB, CRC-32 list" % n_tiny, verify(sfv), peers, tiny, [label for label, _ in peers])

    # Cold reads.
    if not ctx.drop_caches():
        ctx.notes.append("workers: cold rows left out, the page cache cannot be dropped here")
        return lines
    sha_big = os.path.join(os.path.dirname(big), "big-workers.sha256")
    with open(sha_big, "w") as f:
        f.write("%s  %s\n" % (file_digest(big, "sha256"), os.path.basename(big)))
    sfv_big = os.path.join(os.path.dirname(big), "big-workers.sfv")
    with open(sfv_big, "wb") as f:
        crc = 0
        with open(big, "rb") as g:
            for piece in iter(lambda: g.read(1 << 20), b""):
                crc = zlib.crc32(piece, crc)
        f.write(b"%s %08X\r\n" % (os.path.basename(big).encode(), crc))
    sfv_small = os.path.join(small, "small.sfv")
    sfv_list(sfv_small, entries)
    before = lambda label: ctx.drop_caches()
    dd = ("dd bs=1M", ["dd", "if=" + big, "of=/dev/null", "bs=1M"])
    for text, ours, peer, cwd in (
            # CRC-32 hashes faster than the disk reads: the row is the reading. SHA-256 hashes on one core
            # at about 2 GB/s, below what this kind of disk gives.
            ("cold: one %d MiB file, CRC-32" % (size >> 20), verify(sfv_big), dd, os.path.dirname(big)),
            ("cold: one %d MiB file, SHA-256" % (size >> 20), verify(sha_big), dd, os.path.dirname(big)),
            ("cold: %d files of 1-64 KiB, CRC-32" % n_small, verify(sfv_small),
             ("rhash -c", ["rhash", "-c", "--skip-ok", sfv_small]), small),
            ("cold: %d files of 1-64 KiB, SHA-256" % n_small, verify(sha_small),
             ("--threads 1", verify(sha_small, *one)), small)):
        med, codes = ctx.measure([("ours", ours, cwd), peer + (cwd,)], max(3, ctx.runs // 2), before)
        ctx.note_codes(text, codes)
        lines.extend(ctx.ratio_lines(tag(text), med, [peer[0]]))
    return lines
