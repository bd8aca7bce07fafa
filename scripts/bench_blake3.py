"""BLAKE3 over one 1 GiB page-cached file: `tallyvault-cli verify` of a one-line .b3 list against
`b3sum --no-mmap --num-threads 1`; and each kernel on 1 MiB in memory from the micro-benchmark."""
import json
import os
import shutil
import subprocess


def rows(ctx):
    if shutil.which("b3sum") is None:
        ctx.notes.append("BLAKE3 rows left out: b3sum is not installed (apt-get install b3sum)")
        return []
    build = os.path.join(ctx.root, "build", "release")
    subprocess.run(["cmake", "--build", "--preset", "release", "-j", str(os.cpu_count() or 2), "--target",
                    "tallyvault_bench"], cwd=ctx.root, check=True, stdout=subprocess.DEVNULL)
    size = (64 << 20) if ctx.quick else (1 << 30)
    big = ctx.big_file(size)
    peer = ["b3sum", "--no-mmap", "--num-threads", "1", big]
    digest = subprocess.run(peer, capture_output=True, text=True, check=True).stdout.split()[0]
    b3 = os.path.join(os.path.dirname(big), "big.b3")
    with open(b3, "w") as f:
        f.write(digest + "  " + os.path.basename(big) + "\n")
    ours = [ctx.cli, "verify", b3]
    if subprocess.run(ours, cwd=ctx.work, capture_output=True).returncode != 0:
        ctx.notes.append("BLAKE3: tallyvault-cli does not verify the .b3 list that b3sum's digest makes")
    med, _ = ctx.measure([("ours", ours, ctx.work), ("b3sum", peer, ctx.work)], ctx.runs)
    lines = ctx.ratio_lines("BLAKE3, one %d MiB file (verify LIST.b3)" % (size >> 20), med, ["b3sum"])

    r = subprocess.run([os.path.join(build, "bench", "tallyvault_bench"), "--benchmark_filter=BM_Blake3/",
                        "--benchmark_format=json", "--benchmark_min_time=0.3"], capture_output=True, text=True,
                       check=True)
    for b in json.loads(r.stdout)["benchmarks"]:
        if "error_message" in b or "bytes_per_second" not in b:
            continue
        lines.append("| BLAKE3 kernel %s | in memory | %.2f GB/s | | | | | |" % (
            b["name"].split("/", 1)[1], b["bytes_per_second"] / 1e9))
    return lines
