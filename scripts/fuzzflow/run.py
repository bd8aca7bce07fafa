"""Runs one workflow in a fresh folder and checks the invariants after every command.

A broken invariant raises Violation(name, message); the message names the seed and the step. The
invariants (names as the known-faults file uses them):
  no-crash             every command ends with one of its exit statuses, within its time
  no-leftovers         a command that was not killed leaves no plan, lock or temporary file behind
  read-only            verify and the dry runs change nothing
  writes-only-its-list create and update change no file but the list they write
  content-kept         every content present under the set and the search folder before a command is
                       present there after it (lists themselves aside)
  outside-untouched    nothing outside the set and the search folder changes
  good-file-stays      a file that was its row's ○ keeps its name, content and identity through a repair
  dry-run-predicts     a repair makes exactly the changes its dry run printed; an update adds exactly
                       the names its dry run printed
  repair-idempotent    a second repair right after a first changes nothing
  repair-finishes      after a repair no ！ row is left that it could have put in place
  undo-restores        a killed repair undone gives the folder of before the repair back
  finish-completes     a killed repair finished gives what the dry run promised
  update-after-create  an update right after a create adds nothing
  unlisted-after-update  verify --unlisted right after an update names nothing
  unlisted-not-listed  no file --unlisted names (or update adds) is one a row already names
  lists-not-listed     create, update and --unlisted never take a checksum list in
  peer-agrees          our ○ rows are the lines the list's own writer's checker says OK for
  written-list-passes  a list we write or update is read whole by that checker and passes it where we say ○
  exit-status          exit status agrees with the rows (0 all ○, 1 some not, 3 not read whole; 2 only
                       with an error named, never for a list its checker reads); the counters match;
                       an error on a file that cannot be read names it
  texts-fit            a digest list's messages never speak of CRC-32 codes
  keep-going           (where the program has --keep-going) a file that cannot be read is its row's ×
                       or －, named, and the rest is checked; create lists the rest
"""
import hashlib
import os
import re
import signal
import subprocess

from . import peers

MARKS = ("○", "！", "×", "－")
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {f"{d}{n}" for d in ("COM", "LPT") for n in range(1, 10)}


def windows_refuses(rel):
    """Whether Windows refuses to open a file of this relative path, which Linux (and NTFS) hold: a part
    that is a device name (also with an extension), ends in "." or " ", or holds a character NTFS keeps."""
    for part in rel.split("/"):
        if part in ("", ".", ".."):
            continue
        if part[-1] in ". " or any(c in ':*?"<>|' or ord(c) < 32 for c in part):
            return True
        if part.split(".")[0].rstrip(" ").upper() in DEVICES:
            return True
    return False
CHANGES = ("park", "rename", "move", "copy", "delete")
LIST_EXTS = (".sfv", ".csv", ".crc", ".md5", ".sha1", ".sha224", ".sha256", ".sha384", ".sha512", ".b2",
             ".b3", ".blake2", ".blake3", ".par2", ".par")
SUMS = ("MD5SUMS", "SHA1SUMS", "SHA224SUMS", "SHA256SUMS", "SHA384SUMS", "SHA512SUMS", "B2SUMS", "B3SUMS")
CLI_TIMEOUT = 60


class Violation(Exception):
    def __init__(self, invariant, message, what=""):
        super().__init__(f"{invariant}: {message}")
        self.invariant = invariant
        self.message = message
        # The fixed words of the check, without names: a shrunk workflow must break the same check.
        self.signature = invariant + ": " + re.split(r"[\[(:0-9'{]", what)[0].strip()


class WineSilent(Exception):
    """Under Wine a command ended non-zero without a byte on either stream. The program always says
    something when it fails or shows rows, so it was Wine that lost the run's output (once seen in CI, a
    repair whose work was done): nothing of the program's can be checked from it, and the workflow ends
    there without a verdict."""


def is_list_name(name):
    base = name.replace("\\", "/").split("/")[-1]
    return base.lower().endswith(LIST_EXTS) or base.upper().startswith(SUMS)


class Result:
    def __init__(self, argv, rc, out, err):
        self.argv, self.rc, self.out, self.err = argv, rc, out, err
        self.rows, self.plus, self.changes, self.counters = [], [], [], None
        self.sizes = {}  # a row's name -> the size its list gives ("" where none)
        for line in out.splitlines():
            parts = line.split("\t")
            if parts[0] in MARKS and len(parts) >= 5:
                self.rows.append((parts[0], parts[1], parts[4]))
                self.sizes[parts[1]] = parts[2]
            elif parts[0] == "＋" and len(parts) == 2:
                self.plus.append(parts[1])
            elif parts[0] in CHANGES and len(parts) in (2, 3):
                self.changes.append(parts)
            elif line.startswith("total "):
                f = line.split()
                self.counters = dict(zip(f[0::2], (int(x) for x in f[1::2])))

    def text(self):
        return f"$ {' '.join(self.argv)}\n[exit {self.rc}]\n{self.out}{self.err}"


class World:
    def __init__(self, workflow, cli, root, log=None, keep_going=False, wine=None):
        self.workflow = workflow
        self.seed = workflow.get("seed", "?")
        self.cli_path = cli
        self.w = root
        self.setname = "set"
        self.lists = {}  # "set/NAME" -> {"writer": ..., "reshaped": set(), "cp932": bool}
        self.locked = set()  # keys of files made unreadable
        self.step = 0
        self.commands = 0
        self.log = log if log is not None else []
        self.recent = []
        # Run as root, the program and the peers run as an ordinary user, so that a file without read
        # permission is unreadable to them as it is to a user.
        self.user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
        self.keep_going = keep_going
        # Under Wine: the Windows program, run by wine64; no kills (strace cannot reach into Wine), no
        # other user (the Wine prefix belongs to this one).
        self.wine = list(wine or [])
        if self.wine:
            self.user = []

    # ---- paths and snapshots --------------------------------------------------------------------------
    def real(self, rel):
        if rel == "set" or rel.startswith("set/"):
            rel = self.setname + rel[3:]
        return os.path.join(self.w, rel)

    @property
    def setdir(self):
        return os.path.join(self.w, self.setname)

    def snapshot(self):
        """Every file and link under the work folder: key (with the set as "set/") -> (kind, digest, inode)."""
        snap = {}
        for top, dirs, files in os.walk(self.w):
            for d in list(dirs):
                if os.path.islink(os.path.join(top, d)):
                    files.append(d)
                    dirs.remove(d)
            for f in files:
                p = os.path.join(top, f)
                rel = os.path.relpath(p, self.w)
                if rel == self.setname or rel.startswith(self.setname + "/"):
                    rel = "set" + rel[len(self.setname):]
                st = os.lstat(p)
                if os.path.islink(p):
                    snap[rel] = ("link", os.readlink(p), st.st_ino)
                else:
                    snap[rel] = ("file", hashlib.sha1(_read_any(p, st)).hexdigest(), st.st_ino)
        return snap

    def key(self, name):
        """Where a name of a list leads, as a work-folder key: "set/..." below the list's folder, the
        key of an absolute path inside the work folder, or the absolute path."""
        n = name
        if self.wine and n.startswith("/"):
            return "linux:" + n  # a Linux absolute path in a list names nothing the Windows program can see
        if self.wine:
            # On Windows "\" and "/" are one separator, and the work folder is seen under drive Z:.
            n = n.replace("\\", "/")
            if re.match(r"^[A-Za-z]:/", n):
                n = n[2:]
        if n.startswith("/"):
            parts = [x for x in n.split("/") if x not in ("", ".")]
            n = "/" + "/".join(parts)
            if n.startswith(self.setdir + "/"):
                return "set/" + n[len(self.setdir) + 1:]
            if n.startswith(self.w + "/"):
                rel = n[len(self.w) + 1:]
                # The set's old place after it was moved is a path like any other outside it.
                return n if rel == "set" or rel.startswith("set/") else rel
            return n
        return "set/" + "/".join(x for x in n.split("/") if x not in ("", "."))

    def where(self, message):
        return f"seed {self.seed}, step {self.step}: {message}"

    def fail(self, invariant, message, *results):
        detail = "".join("\n" + r.text() for r in results)
        raise Violation(invariant, self.where(message) + detail, message)

    # ---- running the program --------------------------------------------------------------------------
    def hand_over(self):
        """Gives the work folder to the user the program runs as (modes stay: an unreadable file stays so)."""
        if not self.user:
            return
        for top, dirs, files in os.walk(self.w):
            os.lchown(top, 65534, 65534)
            for f in dirs + files:
                os.lchown(os.path.join(top, f), 65534, 65534)

    def unreadable(self, links=False):
        """Keys of the files without read permission, wherever they were moved since (with links: and of
        the links that lead to one); under Wine also of the files whose names Windows refuses to open."""
        if not self.locked and not self.wine:
            return []
        out = []
        for top, _, files in os.walk(self.w):
            for f in files:
                p = os.path.join(top, f)
                if self.wine and windows_refuses(os.path.relpath(p, self.w)):
                    # Keyed as the rows are: under Wine a Linux path is no key of a row.
                    out.append(os.path.relpath(p, self.w))
                    continue
                if os.path.islink(p) and not links:
                    continue
                q = os.path.realpath(p)
                if os.path.isfile(q) and os.stat(q).st_mode & 0o444 == 0:
                    out.append(self.key(p))
        return sorted(out)

    def case_twins(self):
        """Under Wine: keys of the files below a folder whose name Windows cannot tell from a sibling's
        (set/sub beside set/Sub). Linux holds two folders there; Windows holds one, and the Windows
        program, which compares folder names as Windows does, sees one: where Wine then opens a file is
        no question a Windows disk asks."""
        if not self.wine:
            return set()
        spellings = {}
        for top, dirs, _ in os.walk(self.w):
            for d in dirs:
                rel = os.path.relpath(os.path.join(top, d), self.w)
                spellings.setdefault(rel.lower(), []).append(rel)
        out = set()
        for names in spellings.values():
            if len(names) < 2:
                continue
            for name in names:
                for top, _, files in os.walk(os.path.join(self.w, name)):
                    out.update(os.path.relpath(os.path.join(top, f), self.w) for f in files)
        return out

    def checker(self, argv, lst):
        self.hand_over()
        return peers.run_checker(argv, os.path.basename(self.real(lst)), self.setdir, prefix=self.user)

    def cli(self, *args, prefix=(), allow_kill=False):
        self.hand_over()
        if self.wine:
            # Paths as the Windows program sees them: drive Z: is the root of the file system.
            args = ["Z:" + a.replace("/", "\\") if a.startswith(self.w + "/") or a == self.w else a for a in args]
            argv = list(self.wine) + [self.cli_path] + list(args) + ["--quiet"]
        else:
            argv = list(prefix) + self.user + [self.cli_path] + list(args) + ["--quiet"]
        win_w = "Z:" + self.w.replace("/", "\\") + "\\"
        shown = [os.path.relpath(a, self.w) if a.startswith(self.w + "/") else
                 a[len(win_w):] if a.startswith(win_w) else a for a in argv]
        shown = [a if a != self.cli_path else "tallyvault-cli" for a in shown if a not in self.user + self.wine]
        try:
            p = subprocess.run(argv, cwd=self.w, capture_output=True, timeout=CLI_TIMEOUT, check=False)
        except subprocess.TimeoutExpired:
            raise Violation("no-crash", self.where(f"{' '.join(shown)} ran longer than {CLI_TIMEOUT} s"))
        self.commands += 1
        if self.wine and p.returncode != 0 and not p.stdout and not p.stderr:
            raise WineSilent(self.where(f"{' '.join(shown)} exited {p.returncode} with no output at all"))
        r = Result(shown, p.returncode, p.stdout.decode("utf-8", "surrogateescape").replace("\r\n", "\n"),
                   p.stderr.decode("utf-8", "surrogateescape").replace("\r\n", "\n"))
        self.log.append(r.text())
        self.recent = self.recent[-3:] + [r]
        killed = p.returncode in (-signal.SIGKILL, 128 + signal.SIGKILL)
        if not (0 <= p.returncode <= 4 or (allow_kill and killed)):
            self.fail("no-crash", f"exit status {p.returncode}", r)
        if not killed:
            left = self.leftovers()
            if left:
                self.fail("no-leftovers", f"{' '.join(shown)} left {left} behind", r)
        return r

    def leftovers(self):
        """The program's own plan, lock and temporary files anywhere under the work folder."""
        out = []
        for top, _, files in os.walk(self.w):
            for f in files:
                if f.endswith((".tallyvault-plan", ".tallyvault-lock")) or re.fullmatch(r"\.tallyvault-\d+\.tmp", f):
                    out.append(os.path.relpath(os.path.join(top, f), self.w))
        return sorted(out)

    # ---- the operations -------------------------------------------------------------------------------
    def run(self, past=None):
        """Runs the operations; past(violation), when given, says whether a broken invariant is a known
        fault to go on past (it is kept in self.passed) rather than the end of the workflow."""
        self.passed = []
        for op in self.workflow["ops"]:
            self.step += 1
            try:
                getattr(self, "op_" + op["op"].replace("-", "_"))(op)
            except Violation as v:
                if not (past and past(v)):
                    raise
                self.passed.append(v)

    def op_file(self, op):
        p = self.real(op["path"])
        if os.path.isdir(p):
            return
        os.makedirs(os.path.dirname(p), exist_ok=True)
        if os.path.islink(p):
            os.unlink(p)
        if os.path.exists(p) and not os.access(p, os.W_OK):
            os.chmod(p, 0o600)  # an edit by the user who took the permission away, as its owner can
        with open(p, "wb") as fh:
            fh.write(bytes.fromhex(op["data"]))

    def op_link(self, op):
        p = self.real(op["path"])
        if not os.path.lexists(p):
            os.makedirs(os.path.dirname(p), exist_ok=True)
            os.symlink(op["to"], p)

    def op_flip(self, op):
        p = self.real(op["path"])
        if (os.path.isfile(p) and not os.path.islink(p) and os.path.getsize(p) > 0
                and os.access(p, os.R_OK | os.W_OK)):
            with open(p, "r+b") as fh:
                at = op["at"] % os.path.getsize(p)
                fh.seek(at)
                b = fh.read(1)
                fh.seek(at)
                fh.write(bytes([b[0] ^ 0x5A]))

    def op_truncate(self, op):
        p = self.real(op["path"])
        if os.path.isfile(p) and not os.path.islink(p) and os.access(p, os.W_OK):
            os.truncate(p, min(op["len"], os.path.getsize(p)))

    def op_rename(self, op):
        src, dst = self.real(op["path"]), self.real(op["to"])
        if os.path.lexists(src) and not os.path.lexists(dst):
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            try:
                os.rename(src, dst)
            except OSError:
                pass

    def op_unreadable(self, op):
        p = self.real(op["path"])
        if self.wine:
            return  # Wine runs as the owner of the files, who can read them whatever their mode
        if os.path.isfile(p) and not os.path.islink(p):
            os.chmod(p, 0)
            self.locked.add(op["path"])

    def op_delete(self, op):
        p = self.real(op["path"])
        if os.path.lexists(p) and not os.path.isdir(p):
            os.unlink(p)

    def op_copy(self, op):
        src, dst = self.real(op["path"]), self.real(op["to"])
        if os.path.isfile(src) and not os.path.lexists(dst):
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(dst, "wb") as fh:
                fh.write(_read_any(src, os.stat(src)))

    def _writer_names(self, op):
        if op["writer"].startswith("rhash-r"):
            return ["."]  # the whole tree, the list being written included, as `rhash -r . > list` does
        names = []
        for n in op["names"]:
            if not os.path.lexists(os.path.join(self.setdir, n)) or os.path.isdir(os.path.join(self.setdir, n)):
                continue
            style = op.get("style", "plain")
            names.append("./" + n if style == "dot" else os.path.join(self.setdir, n) if style == "abs" else n)
        return names

    def op_list(self, op):
        names = self._writer_names(op)
        if not names:
            return
        self.hand_over()
        peers.write_list(op["writer"], names, self.setdir, self.real(op["list"]), append=False, prefix=self.user)
        self.lists[op["list"]] = {"writer": op["writer"], "reshaped": set(), "cp932": False}

    def op_append(self, op):
        if op["list"] not in self.lists or not os.path.exists(self.real(op["list"])):
            return
        names = self._writer_names(op)
        if names:
            self.hand_over()
            peers.write_list(op["writer"], names, self.setdir, self.real(op["list"]), append=True, prefix=self.user)

    def op_reshape(self, op):
        info = self.lists.get(op["list"])
        p = self.real(op["list"])
        if info is None or not os.path.exists(p):
            return
        with open(p, "rb") as fh:
            data = fh.read()
        how = op["how"]
        if how == "crlf":
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        elif how == "bom":
            data = b"\xef\xbb\xbf" + data
        elif how == "utf16":
            data = data.decode("utf-8", "surrogateescape").encode("utf-16", "surrogateescape")
        elif how == "cp932":
            try:
                data = data.decode("utf-8").encode("cp932")
            except UnicodeError:
                return
            info["cp932"] = True
        elif how == "comment":
            mark = b"; " if info["writer"] in ("cksfv", "rhash-sfv") or p.lower().endswith(".sfv") else b"# "
            lines = data.split(b"\n")
            lines.insert(len(lines) // 2, mark + "メモ: 2024年の写真".encode())
            data = b"\n".join(lines)
        elif how == "cut":
            data = data.rstrip(b"\n")[:-3]
        elif how == "empty":
            data = b""
        info["reshaped"].add(how)
        with open(p, "wb") as fh:
            fh.write(data)

    # ---- checks shared by the commands ----------------------------------------------------------------
    def _in_roots(self, k):
        return k.startswith("set/") or k.startswith("src/")

    def _is_own_file(self, k):
        base = k.split("/")[-1]
        return base.endswith(".tallyvault-plan") or base.endswith(".tallyvault-lock") or k in self.lists

    def check_kept(self, before, after, what):
        had = {v[1] for k, v in before.items() if self._in_roots(k) and v[0] == "file" and not self._is_own_file(k)}
        has = {v[1] for k, v in after.items() if self._in_roots(k) and v[0] == "file"}
        lost = had - has
        if lost:
            gone = sorted(k for k, v in before.items() if v[1] in lost)
            self.fail("content-kept", f"{what} lost the content of {gone}", *self.log_tail(2))
        outside_b = {k: v for k, v in before.items() if not self._in_roots(k)}
        outside_a = {k: v for k, v in after.items() if not self._in_roots(k)}
        if outside_a != outside_b:
            diff = sorted(set(outside_a.items()) ^ set(outside_b.items()))
            self.fail("outside-untouched", f"{what} changed {diff}", *self.log_tail(2))

    def log_tail(self, n):
        return self.recent[-n:]

    def check_only_list(self, before, after, lst, what, r):
        changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k) and k != lst)
        if changed:
            self.fail("writes-only-its-list", f"{what} of {lst} changed {changed}", r)

    def check_same(self, before, after, invariant, what, *results):
        if before != after:
            diff = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
            self.fail(invariant, f"{what} changed {diff}", *results)

    def check_exit(self, r, what, all_good=False):
        rows = r.rows
        if r.rc in (0, 1, 3) and r.counters is not None:
            c = r.counters
            if c.get("total") != len(rows) or c.get("match") != sum(m == "○" for m, _, _ in rows):
                self.fail("exit-status", f"{what}: the counters do not count the rows", r)
        if r.rc == 0 and (not rows or any(m != "○" for m, _, _ in rows)):
            self.fail("exit-status", f"{what} exits 0 with rows that are not all ○", r)
        if r.rc == 1 and rows and all(m == "○" for m, _, _ in rows):
            self.fail("exit-status", f"{what} exits 1 with every row ○", r)
        if r.rc == 3 and not r.err.strip():
            self.fail("exit-status", f"{what} exits 3 and says nothing on standard error", r)
        if r.rc == 2 and not r.err.strip() and "status " not in r.out:
            self.fail("exit-status", f"{what} exits 2 and says nothing", r)
        said = r.out + r.err
        if r.rc == 2 and self.locked and ("denied" in said or "Permission" in said):
            names = [k.split("/")[-1] for k in self.unreadable(links=True)]
            if not any(n in said for n in names):
                self.fail("exit-status", f"{what} ends on a file it cannot read and does not name it "
                          f"(unreadable: {names})", r)
        if all_good and r.rc == 3:
            self.fail("exit-status", f"{what}: a list we just wrote is not read whole (exit 3)", r)
        if all_good and r.rc in (0, 1) and any(m != "○" for m, _, _ in rows):
            self.fail("exit-status", f"{what}: a list we just wrote has rows that are not ○", r)

    def _checker(self, lst):
        info = self.lists.get(lst)
        if info is None:
            return None
        return peers.checker_of(info["writer"], lst)

    def check_peer(self, lst, r, strict=False):
        """Our verdicts against the list's own writer's checker. strict: the list was just written or
        updated by us and must be read whole by that checker."""
        info = self.lists.get(lst)
        argv = self._checker(lst)
        if argv is None or info is None or (r.rc == 2 and not r.rows):
            return
        if not strict and info["reshaped"] - {"comment", "cut"}:
            return  # a list the user re-encoded: its peer may no longer read it, by design
        c = self.checker(argv, lst)
        pretty = argv[0] in ("cksfv", "rhash")

        k = self.key

        if c.unreadable and r.rc in (0, 1) and not info["cp932"] and not strict:
            self.fail("exit-status", f"{lst} is read as whole (exit {r.rc}), yet {' '.join(argv)} finds "
                      f"{c.unreadable} line(s) in it that are no entries\nchecker said:\n{c.text}", r)
        ours, theirs = {}, {}
        # A "\\" is a folder separator to our readers (lists made on Windows) and a letter of the name to
        # the peers on Linux, and RHash reads no coreutils escapes: such names are not compared.
        # Under Wine a Linux absolute path is no path at all, a name Windows refuses is passed over, and
        # files below folders whose names differ only in case are one folder's: such lines are not
        # compared either.
        twins = self.case_twins()

        def comparable(name):
            return "\\" not in name and not (self.wine and (name.startswith("/") or windows_refuses(name)
                                                            or k(name) in twins))

        for m, name, _ in r.rows:
            if comparable(name):
                ours[k(name)] = ours.get(k(name), True) and m == "○"
        for name, ok in c.verdicts:
            if comparable(name):
                theirs[k(name)] = theirs.get(k(name), True) and ok
        if pretty:
            # The SFV checkers trim a name's trailing blanks: such names cannot be compared with them (the
            # rows' names are asked, also those left out of the comparison above).
            blank = {k(n).rstrip() for _, n, _ in r.rows if k(n) != k(n).rstrip()}
            ours = {n: v for n, v in ours.items() if n.rstrip() not in blank}
            theirs = {n: v for n, v in theirs.items() if n not in blank}
        if r.rc == 3:
            # Read in part: a name the checker met more than once may have lines past where we stopped.
            seen = {}
            for name, _ in c.verdicts:
                seen[k(name)] = seen.get(k(name), 0) + 1
            theirs = {n: v for n, v in theirs.items() if seen[n] == 1}
        if info["cp932"]:
            ours = {n: v for n, v in ours.items() if n.isascii()}
            theirs = {n: v for n, v in theirs.items() if n.isascii()}
        differ = sorted(n for n in theirs if n in ours and ours[n] != theirs[n])
        unread = sorted(n for n in theirs if n not in ours) if r.rc in (0, 1) else []
        if differ or unread:
            absolute_keys = {self.key(n) for _, n, _ in r.rows if n.startswith("/")}
            absolute = " on absolute names" if all(n in absolute_keys for n in differ + unread) else ""
            self.fail("written-list-passes" if strict else "peer-agrees",
                      f"{' '.join(argv)} {lst}: verdicts differ{absolute} for {differ}, rows missing for {unread}\n"
                      f"checker said:\n{c.text}", r)
        if strict:
            left = sorted(n for n in ours if n not in theirs)
            if c.unreadable or left:
                self.fail("written-list-passes", f"{' '.join(argv)} cannot read lines of {lst} we wrote "
                          f"({c.unreadable} unreadable, rows it never named: {left})\nchecker said:\n{c.text}", r)

    def check_texts(self, lst, r, what):
        """A digest list's messages speak of its own kind, never of CRC-32 codes."""
        digest = is_list_name(lst) and not lst.lower().endswith((".sfv", ".csv", ".crc"))
        if digest and "ＣＲＣ－３２" in r.out + r.err:
            self.fail("texts-fit", f"{what} of a digest list speaks of CRC-32", r)

    def check_going(self, r, what):
        """With --keep-going an unreadable file is its row's × or －, named, and every other row is checked."""
        locked = set(self.unreadable())
        rows = {self.key(n): m for m, n, _ in r.rows}

        def other_size(k):
            # A file whose size is not the one its list gives is × without being read.
            sizes = {r.sizes[n] for _, n, _ in r.rows if self.key(n) == k}
            try:
                return rows[k] != "○" and sizes and all(z.isdigit() and int(z) != os.lstat(self.real(k)).st_size
                                                        for z in sizes)
            except OSError:
                return False

        hit = sorted(k for k in locked if k in rows and not other_size(k))
        if hit and r.rc != 2:
            self.fail("keep-going", f"{what} exits {r.rc} with files it could not read: {hit}", r)
        # A list that is empty, of an unknown kind or with a bad number field ends the load before any
        # row, rightly; only a stop on a file it could not read breaks the promise of --keep-going.
        stopped_on = [k for k in locked if k.split("/")[-1] in r.out + r.err]
        if r.rc == 2 and not r.rows and "status " in r.out and stopped_on:
            self.fail("keep-going", f"{what} ends with no row, stopped by {sorted(stopped_on)}", r)
        for k in hit:
            if rows[k] == "○":
                self.fail("keep-going", f"{what} shows {k}, which it could not read, as ○", r)
            if k.split("/")[-1] not in r.err:
                self.fail("keep-going", f"{what} does not name {k}, which it could not read", r)

    def check_unlisted(self, r, what):
        named = {self.key(n) for _, n, _ in r.rows}
        named |= {self.key(s) for _, _, s in r.rows if s}
        # A row "a\b" is the file a/b to our readers, never the Linux file named "a\b".
        clash = sorted(n for n in r.plus if self.key(n) in named and (self.wine or "\\" not in n))
        if clash:
            by = sorted({row for _, row, same in r.rows for n in clash
                         if self.key(n) in (self.key(row), self.key(same) if same else None)})
            self.fail("unlisted-not-listed", f"{what} names {clash}, which rows already name (by rows {by})", r)
        lists = sorted(n for n in r.plus if is_list_name(n))
        if lists:
            self.fail("lists-not-listed", f"{what} takes in the checksum lists {lists}", r)

    # ---- commands -------------------------------------------------------------------------------------
    def _present(self, lst):
        return lst in self.lists and os.path.isfile(self.real(lst))

    def op_verify(self, op):
        if not self._present(op["list"]):
            return
        flags = (["--unlisted"] if op["unlisted"] else []) + (["--recursive"] if op["recursive"] else [])
        going = self.keep_going and op.get("keep_going")
        flags += ["--keep-going"] if going else []
        before = self.snapshot()
        r = self.cli("verify", self.real(op["list"]), *flags)
        self.check_same(before, self.snapshot(), "read-only", "verify", r)
        self.check_exit(r, "verify")
        if going and r.rc in (0, 1, 2, 3):
            self.check_going(r, "verify --keep-going")
        if r.rc == 2 and not self.unreadable() and not self.case_twins():
            argv = self._checker(op["list"])
            # A free ";" line among an SFV list's size lines is read as a size line, as the format's
            # first readers did: the conversion error that ends it is by design.
            shaped = self.lists[op["list"]]["reshaped"] - ({"comment"} if not op["list"].endswith(".sfv") else set())
            if argv and not shaped:
                c = self.checker(argv, op["list"])
                if c.verdicts:
                    self.fail("exit-status", f"verify cannot read a list that {argv[0]} reads:\n{c.text}", r)
        self.check_texts(op["list"], r, "verify")
        self.check_peer(op["list"], r)
        if op["unlisted"]:
            self.check_unlisted(r, "verify --unlisted")

    def op_update(self, op):
        lst = op["list"]
        if not self._present(lst):
            return
        rec = ["--recursive"] if op["recursive"] else []
        before = self.snapshot()
        v = self.cli("verify", self.real(lst), "--unlisted", *rec)
        self.check_unlisted(v, "verify --unlisted")
        dry = self.cli("update", self.real(lst), "--dry-run", *rec)
        self.check_same(before, self.snapshot(), "read-only", "update --dry-run", dry)
        r = self.cli("update", self.real(lst), *rec)
        after = self.snapshot()
        self.check_kept(before, after, "update")
        self.check_only_list(before, after, lst, "update", r)
        if r.rc == 0 and sorted(r.plus) != sorted(dry.plus):
            self.fail("dry-run-predicts", "update added other names than its dry run said", dry, r)
        if r.rc in (0, 1):
            self.check_unlisted(_with_rows(r, v.rows), "update")
        if r.rc != 0:
            return
        self.lists[lst]["reshaped"].discard("utf16")
        w = self.cli("verify", self.real(lst), "--unlisted", *rec)
        refused = [n for n in w.plus if n in r.err]
        if [n for n in w.plus if n not in refused]:
            self.fail("unlisted-after-update", "verify --unlisted names files right after an update", r, w)
        # A list the user re-encoded, or one we wrote in CP932, keeps that form; b3sum, for one, reads no
        # CP932 at all.
        info = self.lists[lst]
        self.check_peer(lst, w, strict=not (info["reshaped"] & {"bom", "crlf", "cut", "cp932"} or info["cp932"]))

    def op_create(self, op):
        out = op["out"]
        if os.path.isdir(self.real(out)):
            return
        flags = (["--recursive"] if op["recursive"] else []) + (["--tag"] if op["tag"] else []) + \
                (["--encoding", "cp932"] if op["cp932"] else [])
        going = self.keep_going and op.get("keep_going")
        flags += ["--keep-going"] if going else []
        before = self.snapshot()
        self.lists[out] = {"writer": "ours", "reshaped": set(), "cp932": op["cp932"]}
        if op["tag"] and out.lower().endswith(".b3"):
            self.lists[out]["writer"] = "ours-tag-b3"
        r = self.cli("create", self.setdir, self.real(out), *flags)
        after = self.snapshot()
        self.check_kept(before, after, "create")
        self.check_only_list(before, after, out, "create", r)
        if going and r.rc == 2 and self.unreadable():
            # Past the unreadable files there must be one to list: a folder of unreadable files alone gives none.
            locked = set(self.unreadable())
            def listed(k):  # a file that create takes in (or names as left out)
                return k.startswith("set/") and (op["recursive"] or "/" not in k[4:]) and not is_list_name(k) \
                    and not any(part.startswith(".") for part in k[4:].split("/"))

            # Files the kind of list or its encoding cannot hold (a "\\" in a name, the extension rule of SFV
            # and CSV, a name outside CP932 in a CP932 list) are named as left out: they are no list's to write.
            left_out = "\n".join(line for line in r.err.splitlines() if "left out" in line)
            rest = [k for k, v in before.items() if v[0] == "file" and k not in locked and listed(k)
                    and k.split("/")[-1] not in left_out]
            if rest and not os.path.exists(self.real(out)):
                self.fail("keep-going", "create --keep-going wrote no list past an unreadable file", r)
            for k in self.unreadable():
                if listed(k) and k.split("/")[-1] not in r.err:
                    self.fail("keep-going", f"create --keep-going does not name {k}, which it could not read", r)
        if r.rc == 2:
            if not r.err.strip() and "status " not in r.out:
                self.fail("exit-status", "create exits 2 and says nothing", r)
            if not os.path.exists(self.real(out)):
                del self.lists[out]
            return
        self.check_exit(r, "create", all_good=True)
        lists = sorted(n for _, n, _ in r.rows if is_list_name(n))
        if lists:
            self.fail("lists-not-listed", f"create lists the checksum lists {lists}", r)
        u = self.cli("update", self.real(out), "--dry-run", *(["--recursive"] if op["recursive"] else []))
        # A name CP932 cannot hold is left out of a CP932 list; a list of ASCII names alone reads as UTF-8,
        # which holds it, so an update may add it then.
        added = [n for n in u.plus if f"left out: {n} (its name cannot be written in Shift-JIS" not in r.err]
        if added:
            self.fail("update-after-create", f"update right after create would add {added}", r, u)
        if self.lists[out]["writer"] == "ours":
            self.check_peer(out, r, strict=not op["cp932"])

    def _repair_flags(self, op):
        return (["--search", os.path.join(self.w, "src")] if op["search"] else []) + \
               (["--copy"] if op["copy"] else []) + (["--delete-duplicates"] if op.get("dups") else [])

    def _predict(self, before, dry):
        """The snapshot a repair gives if it makes exactly the changes a dry run printed."""
        model = dict(before)
        for ch in dry.changes:
            src = self._change_key(ch[1])
            if ch[0] == "delete":
                model.pop(src, None)
                continue
            dst = self._change_key(ch[2])
            if src not in model:
                self.fail("dry-run-predicts", f"the dry run changes {ch[1]}, which does not exist", dry)
            model[dst] = model[src] if ch[0] == "copy" else model.pop(src)
        return model

    def _change_key(self, name):
        return self.key(name)

    def _content_view(self, snap):
        """A snapshot as names and contents: a move keeps the inode, a copy does not."""
        return {k: v[:2] for k, v in snap.items() if not k.endswith(".tallyvault-plan")}

    def check_good_stay(self, rows, before, after, what, *results):
        for m, name, _ in rows:
            if m != "○":
                continue
            k = self.key(name)
            # A "\" in a name is a folder separator to our readers (lists made on Windows), unless the
            # list escaped it as GNU's form does: where the file of the separator's reading was there, the
            # row is taken to have read it, and the file named with the letter "\" is another one.
            if "\\" in name and not self.wine:
                apart = self.key(name.replace("\\", "/"))
                k = apart if apart in before else k
            if k in before and after.get(k) != before[k]:
                self.fail("good-file-stays", f"{what} disturbed {name}, its row's ○ "
                          f"({before[k][1][:8]} -> {after.get(k, ('gone', 'gone'))[1][:8]})", *results)

    def check_finished(self, r, what):
        counts = {}
        for _, name, _ in r.rows:
            counts[self.key(name)] = counts.get(self.key(name), 0) + 1
        good = {self.key(n) for m, n, _ in r.rows if m == "○"}
        # Absolute names and names that lead out of the folder are never written by a repair; a "\" in a
        # name made on Linux is a separator to our readers, and such a row is left alone too.
        # A file that a ○ row reads through its link stays where it is, even where another row names it
        # with another content: that row is left as it is. Under Wine a Linux link is a plain file to the
        # program, which cannot tell that moving another row's file changes what the link reads.
        linked = set()
        for m, n, _ in r.rows:
            if m == "○" and os.path.islink(self.real(self.key(n))):
                linked.add(os.path.realpath(self.real(self.key(n))))
        # Rows that give one name two contents are left as they are. In a list of two encodings (a CP932
        # line read as UTF-8, or the other way) the two rows of such a name are spelled differently here,
        # so where the program names a conflict the harness cannot see, its rows of other than ASCII
        # names are not held against the repair.
        unseen = False
        for line in r.err.splitlines():
            marker = "repair changes nothing for them: "
            if marker in line:
                named = line.split(marker, 1)[1].split(", ")
                unseen = unseen or any(counts.get(self.key(n), 0) < 2 for n in named)
        left = [n for m, n, s in r.rows if m == "！" and counts[self.key(n)] == 1 and not n.startswith("/")
                and not (unseen and not n.isascii())
                and ".." not in n.split("/") and "\\" not in n and self.key(s) not in good
                and os.path.realpath(self.real(self.key(n))) not in linked
                and not (self.wine and os.path.islink(self.real(self.key(n))))]
        if left:
            self.fail("repair-finishes", f"{what} left {left} ！, each with a file that could take its name", r)

    def op_repair(self, op):
        lst = op["list"]
        if not self._present(lst):
            return
        flags = self._repair_flags(op)
        before = self.snapshot()
        dry = self.cli("repair", self.real(lst), *flags, "--dry-run")
        self.check_same(before, self.snapshot(), "read-only", "repair --dry-run", dry)
        model = self._predict(before, dry)
        r = self.cli("repair", self.real(lst), *flags)
        after = self.snapshot()
        self.check_kept(before, after, "repair")
        self.check_good_stay(dry.rows, before, after, "repair", dry, r)
        if r.rc != 2:
            self.check_same(self._content_view(model), self._content_view(after), "dry-run-predicts",
                            "the repair, against its dry run,", dry, r)
        self.check_exit(r, "repair")
        if r.rc in (0, 1):
            self.check_finished(r, "repair")
        again = self.cli("repair", self.real(lst), *flags)
        self.check_same(after, self.snapshot(), "repair-idempotent", "a second repair", r, again)
        self.check_peer(lst, again)

    def op_kill(self, op):
        lst = op["list"]
        if not self._present(lst):
            return
        if self.wine:
            return self.op_repair(op)
        flags = self._repair_flags(op)
        before = self.snapshot()
        dry = self.cli("repair", self.real(lst), *flags, "--dry-run")
        model = self._predict(before, dry)
        call, n = op["at"]
        trace = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", f"trace={call}",
                 "-e", f"inject={call}:signal=KILL:when={n}"]
        k = self.cli("repair", self.real(lst), *flags, prefix=trace, allow_kill=True)
        killed = k.rc in (-signal.SIGKILL, 128 + signal.SIGKILL)
        if not killed:
            # The repair ended before the chosen step: it is a repair like any other.
            after = self.snapshot()
            self.check_kept(before, after, "repair")
            self.check_good_stay(dry.rows, before, after, "repair", dry, k)
            if k.rc != 2:
                self.check_same(self._content_view(model), self._content_view(after), "dry-run-predicts",
                                "the repair, against its dry run,", dry, k)
        else:
            self.check_kept(before, self.snapshot(), "a killed repair")
        if op["move"]:
            os.rename(self.setdir, os.path.join(self.w, "set-moved"))
            self.setname = "set-moved"
        if op["then"] == "undo":
            mid = self.snapshot()
            u = self.cli("repair", self.real(lst), "--undo")
            after = self.snapshot()
            self.check_kept(before, after, "repair --undo")
            if not killed:
                self.check_same(mid, after, "undo-restores", "an undo with no killed repair", k, u)
                return
            self.check_same(self._content_view(before), self._content_view(after), "undo-restores",
                            "a killed repair and its undo", dry, k, u)
        else:
            mid = self.snapshot()
            f = self.cli("repair", self.real(lst), *flags)
            after = self.snapshot()
            self.check_kept(before, after, "the repair after a killed one")
            self.check_good_stay(dry.rows, before, after, "a killed repair and its finish", dry, k, f)
            if not killed:
                # A first repair that ended on an error (a file it could not read) did not do its work.
                if k.rc != 2:
                    self.check_same(mid, after, "repair-idempotent", "a second repair", k, f)
            elif f.rc != 2:
                self.check_same(self._content_view(model), self._content_view(after), "finish-completes",
                                "a killed repair and its finish, against the dry run,", dry, k, f)
            self.check_exit(f, "repair")


def _read_any(path, st):
    """A file's bytes, also when its owner (the harness, not run as root) took its read permission away."""
    try:
        with open(path, "rb") as fh:
            return fh.read()
    except PermissionError:
        os.chmod(path, 0o600)
        try:
            with open(path, "rb") as fh:
                return fh.read()
        finally:
            os.chmod(path, st.st_mode & 0o7777)


def _with_rows(r, rows):
    """An update's added names checked against the rows of the list it updated."""
    out = Result(r.argv, r.rc, "", "")
    out.rows, out.plus = rows, r.plus
    return out
