"""BLAKE3 over one 1 GiB page-cached file: our hasher through the program's own read loop and block
(bench/b3file, built here) against `b3sum --no-mmap --num-threads 1`; and each kernel on 1 MiB in memory
from the micro-benchmark."""
import json
import os
import subprocess


def _big(ctx, size):
    path = os.path.join(ctx.work, "big.bin")
    if not os.path.exists(path) or os.path.getsize(path) != size:
        block = os.urandom(16 << 20)
        with open(path, "wb") as f:
            for i in range(size // len(block)):
                f.write(i.to_bytes(8, "little") + block[8:])
    return path


def rows(ctx):
    build = os.path.join(ctx.root, "build", "release")
    subprocess.run(["cmake", "--build", "--preset", "release", "-j", str(os.cpu_count() or 2), "--target",
                    "tallyvault_b3file", "tallyvault_bench"], cwd=ctx.root, check=True, stdout=subprocess.DEVNULL)
    ours = os.path.join(build, "bench", "tallyvault_b3file")
    size = (64 << 20) if ctx.quick else (1 << 30)
    big = _big(ctx, size)
    peer = ["b3sum", "--no-mmap", "--num-threads", "1", big]
    mine = subprocess.run([ours, big], capture_output=True, text=True, check=True).stdout.split()[0]
    theirs = subprocess.run(peer, capture_output=True, text=True, check=True).stdout.split()[0]
    if mine != theirs:
        ctx.notes.append("BLAKE3: our digest %s differs from b3sum's %s" % (mine, theirs))
    med, _ = ctx.measure([("ours", [ours, big], ctx.work), ("b3sum", peer, ctx.work)], ctx.runs)
    lines = ctx.ratio_lines("BLAKE3, one %d MiB file, read loop (bench/b3file)" % (size >> 20), med, ["b3sum"])

    r = subprocess.run([os.path.join(build, "bench", "tallyvault_bench"), "--benchmark_filter=BM_Blake3/",
                        "--benchmark_format=json", "--benchmark_min_time=0.3"], capture_output=True, text=True,
                       check=True)
    for b in json.loads(r.stdout)["benchmarks"]:
        if "error_message" in b or "bytes_per_second" not in b:
            continue
        lines.append("| BLAKE3 kernel %s | in memory | %.2f GB/s | | | | | |" % (
            b["name"].split("/", 1)[1], b["bytes_per_second"] / 1e9))
    return lines
