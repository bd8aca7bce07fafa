"""Recovery sets: `tallyvault-cli create FOLDER set.par2 --redundancy 10` against `par2 create -r10` for a set of
20 files of 1 GiB in all; `tallyvault-cli repair set.par2` against `par2 repair set.par2` of that set with 5 % of
its blocks damaged across three files (both keep the damaged files as NAME.1); and the GF(2^16)
multiply-accumulate kernels from the micro-benchmark beside a plain XOR of the same memory."""
import glob
import json
import os
import shutil
import subprocess

FILES = 20


def rows(ctx):
    if shutil.which("par2") is None:
        ctx.notes.append("PAR2 rows left out: par2 is not installed (apt-get install par2)")
        return []
    total = (64 << 20) if ctx.quick else (1 << 30)
    folder = os.path.join(ctx.work, "set")
    os.makedirs(folder, exist_ok=True)
    names = ["f%02d.bin" % i for i in range(FILES)]
    each = total // FILES
    block = os.urandom(1 << 20)
    for i, name in enumerate(names):
        with open(os.path.join(folder, name), "wb") as f:
            for k in range(each // len(block)):
                f.write(i.to_bytes(4, "little") + k.to_bytes(4, "little") + block[8:])
            f.write(block[: each % len(block)])

    def clear_sets(_label=None):
        for p in glob.glob(os.path.join(folder, "*.par2")) + glob.glob(os.path.join(folder, "*.bin.[0-9]*")):
            os.remove(p)

    ours = [ctx.cli, "create", folder, os.path.join(folder, "set.par2"), "--redundancy", "10", "--quiet"]
    peer = ["par2", "create", "-q", "-q", "-r10", "set.par2", *names]
    med, codes = ctx.measure([("ours", ours, folder), ("par2", peer, folder)], ctx.runs, before=clear_sets)
    ctx.note_codes("PAR2 create", codes)
    lines = ctx.ratio_lines("create 10 %% recovery data, %d files of %d MiB in all" % (FILES, total >> 20), med,
                            ["par2"])

    # The set to repair is ours (par2 repairs it as its own); 5 % of its 2000 blocks are damaged, one
    # byte in each, across three files.
    clear_sets()
    made = subprocess.run(ours, check=True, capture_output=True, text=True).stdout
    # "blocks N of S bytes; recovery blocks R"
    slice_size = int(made.split("blocks ")[-2].split(" of ")[1].split()[0])
    damaged = {}
    per_file = [34, 33, 33]
    for name, count in zip(names[:3], per_file):
        with open(os.path.join(folder, name), "rb") as f:
            data = bytearray(f.read())
        for k in range(count):
            data[k * slice_size + 17] ^= 0xFF
        damaged[name] = bytes(data)
    originals = {name: open(os.path.join(folder, name), "rb").read() for name in names[:3]}

    def damage(_label):
        # par2 repair keeps a copy NAME.1, NAME.2, ... of every file it rewrites, and on this set it
        # rewrites some whole ones too: all go, or the next run (ours or par2's) meets them as extra files.
        for p in glob.glob(os.path.join(folder, "*.bin.[0-9]*")):
            os.remove(p)
        for name, data in damaged.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)

    ours_repair = [ctx.cli, "repair", "set.par2", "--quiet"]
    peer_repair = ["par2", "repair", "-q", "-q", "set.par2"]
    med, codes = ctx.measure([("ours", ours_repair, folder), ("par2", peer_repair, folder)], ctx.runs, before=damage)
    ctx.note_codes("PAR2 repair", codes)
    for name, data in originals.items():
        if open(os.path.join(folder, name), "rb").read() != data:
            ctx.notes.append("PAR2 repair: %s is not as it was after the last repair" % name)
    lines += ctx.ratio_lines("repair, 5 %% of %d blocks damaged across 3 files" % 2000, med, ["par2"])

    build = os.path.join(ctx.root, "build", "release")
    subprocess.run(["cmake", "--build", "--preset", "release", "-j", str(os.cpu_count() or 2), "--target",
                    "tallyvault_bench"], cwd=ctx.root, check=True, stdout=subprocess.DEVNULL)
    r = subprocess.run([os.path.join(build, "bench", "tallyvault_bench"),
                        "--benchmark_filter=BM_Gf16MulAdd/|BM_XorRegion", "--benchmark_format=json",
                        "--benchmark_min_time=0.3"], capture_output=True, text=True, check=True)
    for b in json.loads(r.stdout)["benchmarks"]:
        if "error_message" in b or "bytes_per_second" not in b:
            continue
        name, size = b["name"].rsplit("/", 1)
        what = ("plain XOR of the same memory" if name == "BM_XorRegion"
                else "GF(2^16) multiply-accumulate, kernel " + name.split("/", 1)[1])
        lines.append("| %s | one core, %s bytes | %.2f GB/s | | | | | |" % (what, size, b["bytes_per_second"] / 1e9))
    clear_sets()
    return lines
