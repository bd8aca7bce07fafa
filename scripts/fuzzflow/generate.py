"""A seeded generator of workflows: a small file set, lists over it shaped as people shape them, damage,
and commands. A workflow is plain data (a list of operations), so a failing one can be shrunk by
dropping operations and kept as it is; the same seed always gives the same workflow.

Paths in operations are relative to the work folder: "set/..." is the list's folder (the set),
"src/..." the folder a repair searches, "ext/..." a folder outside both that lists may name by
absolute path and that nothing may change."""
import random

DATA_NAMES = [
    "a.bin", "b.bin", "c.bin", "Photo 01.jpg", "日本語のファイル.dat", "ünïcödé.bin", "notes.md",
    "notes.txt", "prog.c", "x.db", "y.ini", "A.bin", "B.BIN", "empty.bin", "back\\slash.bin", "trails ",
    "sub/c.bin", "sub/d.bin", "sub/deep/e.bin", "sub dir/f g.bin", "sub dir/日本.bin", "Sub/c.bin",
]
LIST_NAMES = {
    ".sfv": ["album.sfv", "files.sfv"],
    ".md5": ["MD5SUMS", "files.md5"],
    ".sha1": ["SHA1SUMS", "files.sha1"],
    ".sha256": ["SHA256SUMS", "album.sha256", "files.sha256"],
    ".sha512": ["SHA512SUMS"],
    ".b2": ["B2SUMS", "files.b2"],
    ".b3": ["B3SUMS", "files.b3"],
    ".csv": ["files.csv"],
}
# Kinds our create writes, with the peers that read them (a .csv has none).
CREATE_EXTS = [".sfv", ".md5", ".sha1", ".sha256", ".sha512", ".b2", ".b3", ".csv"]
PEER_WRITERS = ["cksfv", "rhash-simple-md5", "rhash-simple-sha256", "rhash-bsd-sha256", "rhash-bsd-sha1",
                "rhash-sfv", "rhash-r-sfv", "md5sum", "sha1sum", "sha256sum", "sha256sum-tag", "sha512sum", "b2sum",
                "b2sum-256", "b3sum"]
WRITER_EXT = {"cksfv": ".sfv", "rhash-simple-md5": ".md5", "rhash-simple-sha256": ".sha256",
              "rhash-bsd-sha256": ".sha256", "rhash-bsd-sha1": ".sha1", "rhash-sfv": ".sfv", "rhash-r-sfv": ".sfv",
              "md5sum": ".md5",
              "sha1sum": ".sha1", "sha256sum": ".sha256", "sha256sum-tag": ".sha256", "sha512sum": ".sha512",
              "b2sum": ".b2", "b2sum-256": ".b2", "b3sum": ".b3"}
RESHAPES = ["crlf", "bom", "utf16", "cp932", "comment", "cut", "empty"]


def _content(rng, pool):
    r = rng.random()
    if r < 0.1:
        return ""
    if r < 0.3 and pool:
        return rng.choice(pool)  # a second file with the same content
    data = bytes(rng.randrange(256) for _ in range(rng.choice([1, 7, 64, 300, 2000])))
    pool.append(data.hex())
    return data.hex()


def generate(seed):
    rng = random.Random(seed)
    ops = []
    pool = []
    names = rng.sample(DATA_NAMES, rng.randint(3, 9))
    for n in names:
        ops.append({"op": "file", "path": "set/" + n, "data": "" if n == "empty.bin" else _content(rng, pool)})
    if rng.random() < 0.2:
        ops.append({"op": "link", "path": "set/link.bin", "to": names[0]})
    if rng.random() < 0.4:
        ops.append({"op": "file", "path": "ext/outside.bin", "data": _content(rng, pool)})
    files = list(names)
    lists = []

    def new_list_name(ext):
        choices = [n for n in LIST_NAMES[ext] if "set/" + n not in lists]
        return "set/" + rng.choice(choices) if choices else None

    def add_peer_list():
        writer = rng.choice(PEER_WRITERS)
        lst = new_list_name(WRITER_EXT[writer])
        if not lst:
            return
        style = rng.choice(["plain", "plain", "dot", "abs", "top"])
        chosen = [n for n in files if rng.random() < 0.85] or files[:1]
        if style == "top":
            chosen = [n for n in chosen if "/" not in n] or chosen
        if rng.random() < 0.2 and any(o["op"] == "link" for o in ops):
            chosen.append("link.bin")
        ops.append({"op": "list", "writer": writer, "list": lst, "names": chosen, "style": style})
        lists.append(lst)
        if rng.random() < 0.3:
            ops.append({"op": "reshape", "list": lst, "how": rng.choice(RESHAPES)})

    def add_our_list():
        ext = rng.choice(CREATE_EXTS)
        lst = new_list_name(ext)
        if not lst:
            return
        ops.append({"op": "create", "out": lst, "recursive": rng.random() < 0.5,
                    "tag": ext not in (".sfv", ".csv", ".b3") and rng.random() < 0.3,
                    "cp932": rng.random() < 0.1, "keep_going": rng.random() < 0.5})
        lists.append(lst)

    for _ in range(rng.choice([1, 1, 2])):
        add_peer_list() if rng.random() < 0.7 else add_our_list()
    if not lists:
        add_our_list()

    def damage():
        kind = rng.choice(["flip", "truncate", "rename", "move", "delete", "copy", "new", "edit", "tosrc",
                           "tosrc", "edit-append", "dup-src", "unreadable"])
        n = rng.choice(files)
        p = "set/" + n
        if kind == "flip":
            ops.append({"op": "flip", "path": p, "at": rng.randrange(64)})
        elif kind == "truncate":
            ops.append({"op": "truncate", "path": p, "len": rng.randrange(4)})
        elif kind == "rename":
            ops.append({"op": "rename", "path": p, "to": "set/" + rng.choice(["renamed.bin", "r 2.bin", "Z.bin"])})
        elif kind == "move":
            ops.append({"op": "rename", "path": p, "to": "set/" + rng.choice(["sub/", "other/", "sub dir/"]) +
                        n.split("/")[-1]})
        elif kind == "delete":
            ops.append({"op": "delete", "path": p})
        elif kind == "copy":
            ops.append({"op": "copy", "path": p, "to": p + rng.choice([".bak", "-copy"])})
        elif kind == "new":
            ops.append({"op": "file", "path": "set/" + rng.choice(["new.bin", "sub/new.bin", "新しい.txt"]),
                        "data": _content(rng, pool)})
        elif kind == "edit":
            ops.append({"op": "file", "path": p, "data": _content(rng, pool)})
        elif kind == "tosrc":
            ops.append({"op": "rename", "path": p, "to": "src/" + rng.choice(["found/", "", "deep/er/"]) +
                        n.split("/")[-1].replace("\\", "_") + rng.choice(["", ".moved"])})
        elif kind == "unreadable":
            ops.append({"op": "unreadable", "path": p})
        elif kind == "dup-src":
            ops.append({"op": "copy", "path": p, "to": "src/copy-" + n.split("/")[-1].replace("\\", "_")})
        elif kind == "edit-append" and lists:
            # The user keeps the old content as a backup, edits the file and appends its new line to the
            # list with the list's own writer.
            lst = rng.choice(lists)
            writer = next((o["writer"] for o in ops if o["op"] == "list" and o["list"] == lst), None)
            ops.append({"op": "copy", "path": p, "to": p + ".bak"})
            ops.append({"op": "file", "path": p, "data": _content(rng, pool)})
            if writer:
                ops.append({"op": "append", "list": lst, "writer": writer, "names": [n]})

    def command():
        lst = rng.choice(lists)
        k = rng.random()
        if k < 0.25:
            ops.append({"op": "verify", "list": lst, "unlisted": rng.random() < 0.6, "recursive": rng.random() < 0.3,
                        "keep_going": rng.random() < 0.5})
        elif k < 0.4:
            ops.append({"op": "update", "list": lst, "recursive": rng.random() < 0.3})
        elif k < 0.75:
            ops.append({"op": "repair", "list": lst, "search": rng.random() < 0.6, "copy": rng.random() < 0.3,
                        "dups": rng.random() < 0.15})
        elif k < 0.9:
            ops.append({"op": "kill", "list": lst, "search": rng.random() < 0.6, "copy": rng.random() < 0.4,
                        "at": [rng.choice(["fsync", "renameat2"]), rng.randint(1, 5)],
                        "then": rng.choice(["undo", "finish"]), "move": rng.random() < 0.25})
        else:
            add_our_list() if rng.random() < 0.7 else add_peer_list()

    for _ in range(rng.randint(3, 8)):
        if rng.random() < 0.55:
            damage()
        else:
            command()
    command()
    return {"seed": seed, "ops": ops}
