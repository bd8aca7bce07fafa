"""The harness's own check: each invariant must break when the program misbehaves in its way.

The program is wrapped by a small shell script that runs it and then does one wrong thing (loses a
file, writes outside the set, exits 0 over a bad row, prints no dry run, changes files on a second
repair, agrees with every row, undoes nothing); each fixed workflow must then break exactly the
invariant that names that wrong thing. A wrapper that does nothing wrong must break none."""
import os
import stat
import tempfile

# Fixed contents: no two files share one, so a lost file is lost content.
A, B, C = "a1" * 40, "b2" * 40, "c3" * 40

BASE = [
    {"op": "file", "path": "set/a.bin", "data": A},
    {"op": "file", "path": "set/b.bin", "data": B},
    {"op": "file", "path": "set/sub/c.bin", "data": C},
    {"op": "list", "writer": "sha256sum", "list": "set/SHA256SUMS", "names": ["a.bin", "b.bin", "sub/c.bin"],
     "style": "plain"},
]
RENAMED = BASE + [{"op": "rename", "path": "set/b.bin", "to": "set/renamed.bin"}]
REPAIR = {"op": "repair", "list": "set/SHA256SUMS", "search": False, "copy": False, "dups": False}
VERIFY = {"op": "verify", "list": "set/SHA256SUMS", "unlisted": False, "recursive": False}
DAMAGED = BASE + [{"op": "flip", "path": "set/a.bin", "at": 3}]
CREATE = {"op": "create", "out": "set/files.b3", "recursive": True, "tag": False, "cp932": False}
# Two renames in a ring: the repair parks one file, so it writes its plan and syncs more than once.
RING = BASE + [{"op": "rename", "path": "set/a.bin", "to": "set/t"},
               {"op": "rename", "path": "set/b.bin", "to": "set/a.bin"},
               {"op": "rename", "path": "set/t", "to": "set/b.bin"}]
KILL_UNDO = {"op": "kill", "list": "set/SHA256SUMS", "search": False, "copy": False, "at": ["renameat2", 2],
             "then": "undo", "move": False}

# name -> (shell run after the program, with $out its output, $rc its status and $list the list; workflow;
# the invariant it breaks). "undoes nothing" answers --undo by removing the plan and exiting 0, without
# running the program.
CASES = {
    "sound": ("", RENAMED + [REPAIR, VERIFY], None),
    "loses a file": ('case "$*" in repair*--dry-run*) ;; repair*) rm -f "$(dirname "$list")/a.bin";; esac',
                     RENAMED + [REPAIR], "content-kept"),
    "writes outside": ('case "$*" in repair*--dry-run*) ;; repair*) echo x > "$(dirname "$list")/../ext/x";; '
                       'esac', RENAMED + [REPAIR], "outside-untouched"),
    "exits 0 over a bad row": ('case "$1" in verify) rc=0;; esac', DAMAGED + [VERIFY], "exit-status"),
    "prints no dry run": ('case "$*" in *--dry-run*) out=$(printf "%s\\n" "$out" | grep -Ev '
                          '"^(park|rename|move|copy|delete)[[:space:]]");; esac', RENAMED + [REPAIR],
                          "dry-run-predicts"),
    "changes files again": ('case "$*" in repair*--dry-run*) ;; repair*) [ -e "$state/once" ] && echo y > '
                            '"$(dirname "$list")/again.bin"; touch "$state/once";; esac', RENAMED + [REPAIR],
                            "repair-idempotent"),
    "agrees with every row": ('case "$1" in verify) out=$(printf "%s\\n" "$out" | sed "s/^×/○/; /^total /d"); '
                              'rc=0;; esac', DAMAGED + [VERIFY], "peer-agrees"),
    "undoes nothing": ('', RING + [KILL_UNDO], "undo-restores"),
    "writes beside its list": ('case "$1" in create) : > "$(dirname "$3")/extra.bin";; esac', BASE[:3] + [CREATE],
                               "writes-only-its-list"),
    "leaves its lock": ('case "$1" in verify) : > "$(dirname "$list")/.SHA256SUMS.tallyvault-lock";; esac',
                        BASE + [VERIFY], "no-leftovers"),
    "moves a good file": ('case "$*" in repair*--dry-run*) ;; repair*) mv "$(dirname "$list")/sub/c.bin" '
                          '"$(dirname "$list")/c-moved.bin";; esac', RENAMED + [REPAIR], "good-file-stays"),
    "update adds after create": ('case "$*" in update*--dry-run*) out=$(printf "%s\\n+\\tghost.bin" "$out" | '
                                'sed "s/^+/＋/");; esac', BASE[:3] + [CREATE], "update-after-create"),
}

WRAPPER = """#!/bin/sh
# Runs the program, then does one wrong thing.
state="{state}"
fake_undo="{fake_undo}"
list="$2"
[ "$1" = create ] && list="$3"
plan="$(dirname "$list")/.$(basename "$list").tallyvault-plan"
case "$*" in *--undo*) [ -n "$fake_undo" ] && rm -f "$plan" && exit 0;; esac
out=$("{cli}" "$@")
rc=$?
{wrong}
[ -n "$out" ] && printf "%s\\n" "$out"
exit $rc
"""


def run(run_one, cli):
    """Runs every case; returns the list of failures (empty when the harness catches each one)."""
    failures = []
    with tempfile.TemporaryDirectory(prefix="tv-flow-self-") as tmp:
        os.chmod(tmp, 0o755)
        for i, (name, (wrong, ops, expected)) in enumerate(CASES.items()):
            state = os.path.join(tmp, f"state{i}")
            os.makedirs(state)
            os.chmod(state, 0o777)
            wrapper = os.path.join(tmp, f"wrapper{i}")
            with open(wrapper, "w", encoding="utf-8") as fh:
                fake_undo = "1" if name == "undoes nothing" else ""
                fh.write(WRAPPER.format(state=state, cli=cli, wrong=wrong, fake_undo=fake_undo))
            os.chmod(wrapper, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)
            o = run_one({"seed": f"self-test {i}", "ops": ops}, wrapper)
            got = o.violation.invariant if o.violation else None
            if o.error or got != expected:
                failures.append(f"{name}: expected {expected or 'no broken invariant'}, got "
                                f"{o.error or o.violation or 'none'}")
    return failures
