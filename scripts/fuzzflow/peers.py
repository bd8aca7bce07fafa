"""The other checksum tools as writers and checkers of lists, and the parsing of their verdicts.

A writer is run in the list's folder over names as a user would type them and its output goes to the
list (or is appended to it, as `sha256sum f >> SHA256SUMS` does). A checker is run in the list's folder
and gives, for every line it could read, the name as written and whether it said OK."""
import os
import subprocess

# writer -> (argv before the names, list extension, checker argv before the list)
WRITERS = {
    "cksfv": (["cksfv"], ".sfv", ["cksfv", "-f"]),
    "rhash-simple-md5": (["rhash", "--simple", "--md5"], ".md5", ["rhash", "-c"]),
    "rhash-simple-sha256": (["rhash", "--simple", "--sha256"], ".sha256", ["rhash", "-c"]),
    "rhash-bsd-sha256": (["rhash", "--bsd", "--sha256"], ".sha256", ["rhash", "-c"]),
    "rhash-bsd-sha1": (["rhash", "--bsd", "--sha1"], ".sha1", ["rhash", "-c"]),
    "rhash-sfv": (["rhash", "--sfv"], ".sfv", ["rhash", "-c"]),
    "rhash-r-sfv": (["rhash", "-r", "--sfv"], ".sfv", ["rhash", "-c"]),
    "md5sum": (["md5sum"], ".md5", ["md5sum", "-c"]),
    "sha1sum": (["sha1sum"], ".sha1", ["sha1sum", "-c"]),
    "sha256sum": (["sha256sum"], ".sha256", ["sha256sum", "-c"]),
    "sha256sum-tag": (["sha256sum", "--tag"], ".sha256", ["sha256sum", "-c"]),
    "sha512sum": (["sha512sum"], ".sha512", ["sha512sum", "-c"]),
    "b2sum": (["b2sum"], ".b2", ["b2sum", "-c"]),
    "b2sum-256": (["b2sum", "-l", "256"], ".b2", ["b2sum", "-c"]),
    "b3sum": (["b3sum"], ".b3", ["b3sum", "-c"]),
}

# The checker of a list our own create wrote, by the list's extension (None: no peer reads that kind).
OUR_CHECKERS = {
    ".sfv": ["cksfv", "-f"],
    ".md5": ["md5sum", "-c"],
    ".sha1": ["sha1sum", "-c"],
    ".sha256": ["sha256sum", "-c"],
    ".sha512": ["sha512sum", "-c"],
    ".b2": ["b2sum", "-c"],
    ".b3": ["b3sum", "-c"],
}

# Words the pretty checkers (cksfv -f, rhash -c) put after a name padded to a column.
_OK_WORDS = ("OK",)
_BAD_WORDS = ("different CRC", "ERR", "No such file or directory", "Is a directory", "Permission denied")


def write_list(writer, names, cwd, list_path, append, prefix=()):
    argv = list(prefix) + WRITERS[writer][0] + list(names)
    with open(list_path, "ab" if append else "wb") as out:
        subprocess.run(argv, cwd=cwd, stdout=out, stderr=subprocess.DEVNULL, timeout=60, check=False)


def checker_of(writer, list_path):
    if writer == "ours":
        ext = os.path.splitext(list_path)[1].lower()
        base = os.path.basename(list_path).upper()
        for sums, ext2 in (("MD5SUMS", ".md5"), ("SHA1SUMS", ".sha1"), ("SHA256SUMS", ".sha256"),
                           ("SHA512SUMS", ".sha512"), ("B2SUMS", ".b2"), ("B3SUMS", ".b3")):
            if base.startswith(sums):
                ext = ext2
        return OUR_CHECKERS.get(ext)
    return WRITERS[writer][2]


class Checked:
    """What a checker said: (name as written, ok) for each line it read, how many lines it could not
    read, and its exit status."""

    def __init__(self, verdicts, unreadable, status, text):
        self.verdicts = verdicts
        self.unreadable = unreadable
        self.status = status
        self.text = text


def _unescape_coreutils(name):
    out, i = [], 0
    while i < len(name):
        c = name[i]
        if c == "\\" and i + 1 < len(name):
            nxt = name[i + 1]
            out.append({"\\": "\\", "n": "\n", "r": "\r"}.get(nxt, "\\" + nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def run_checker(argv, list_path, cwd, prefix=()):
    p = subprocess.run(list(prefix) + argv + [list_path], cwd=cwd, capture_output=True, timeout=60, check=False)
    out = p.stdout.decode("utf-8", "surrogateescape")
    err = p.stderr.decode("utf-8", "surrogateescape")
    verdicts, unreadable = [], 0
    if argv[0] in ("cksfv", "rhash"):
        # cksfv -f writes its table on standard error, rhash -c on standard output.
        for line in (err + "\n" + out).splitlines():
            line = line.rstrip()
            if not line or line.startswith("--") or line.startswith("Errors") or line.startswith("Everything"):
                continue
            for word, ok in [(w, True) for w in _OK_WORDS] + [(w, False) for w in _BAD_WORDS]:
                if line.endswith(" " + word):
                    verdicts.append((line[: -len(word)].rstrip(), ok))
                    break
            else:
                if "improperly formatted" in line or "can't parse" in line.lower():
                    unreadable += 1
    else:
        for line in out.splitlines():
            escaped = line.startswith("\\")
            if escaped:
                line = line[1:]
            name, sep, verdict = line.rpartition(": ")
            if not sep:
                continue
            if escaped:
                name = _unescape_coreutils(name)
            verdicts.append((name, verdict == "OK"))
        for line in err.splitlines():
            if "improperly formatted" in line and "WARNING" in line:
                unreadable += int(line.split("WARNING:")[1].split()[0])
            elif "no properly formatted" in line:
                unreadable += 1
    return Checked(verdicts, unreadable, p.returncode, out + err)
