"""BLAKE2b-512 over one 1 GiB page-cached file: `tallyvault-cli verify` of a one-line .b2 list against
`openssl dgst -blake2b512` of the same file (the BLAKE3 row is in bench_blake3.py)."""
import os
import subprocess


def _one_line_list(ctx, big, tool, list_name):
    digest = subprocess.run([tool, big], capture_output=True, text=True, check=True).stdout.split()[0]
    path = os.path.join(os.path.dirname(big), list_name)
    with open(path, "w") as f:
        f.write(digest + "  " + os.path.basename(big) + "\n")
    return path


def _verifies(ctx, list_path):
    r = subprocess.run([ctx.cli, "verify", list_path], cwd=ctx.work, capture_output=True, text=True)
    return r.returncode == 0


def rows(ctx):
    size = (64 << 20) if ctx.quick else (1 << 30)
    big = ctx.big_file(size)
    label = "%d MiB" % (size >> 20)
    lines = []
    b2 = _one_line_list(ctx, big, "b2sum", "big.b2")
    if not _verifies(ctx, b2):
        ctx.notes.append("BLAKE2b row left out: this build does not verify a .b2 list")
    else:
        med, _ = ctx.measure([("ours", [ctx.cli, "verify", b2], ctx.work),
                              ("openssl", ["openssl", "dgst", "-blake2b512", big], ctx.work)], ctx.runs)
        lines += ctx.ratio_lines("BLAKE2b-512, one %s file (verify LIST.b2)" % label, med, ["openssl"])
    return lines
