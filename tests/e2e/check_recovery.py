"""The recovery folder as the autosave run sees it: waits for autosaves of a running program,
kills it with SIGKILL while an autosave is being written, copies what a later start will offer,
and compares drawings entity for entity (ezdxf) or checks that the folder is empty.

The folder layout read here: ROOT/session-<pid>-<time>/ holding a lock file, one <slot>.info per
drawing (key=value lines, file=<the drawing file>) and that drawing file; any other entry is a
write in progress (a temporary file, or a drawing file that no info file names yet)."""
import ctypes
import os
import select
import shutil
import signal
import sys
import time



def sessions(root: str, pid: str = "") -> list:
    if not os.path.isdir(root):
        return []
    prefix = f"session-{pid}-" if pid else "session-"
    return sorted(os.path.join(root, n) for n in os.listdir(root) if n.startswith(prefix))


def named_files(folder: str) -> dict:
    """slot -> the drawing file its info file names (only complete info files)."""
    named = {}
    for name in os.listdir(folder):
        if not name.endswith(".info"):
            continue
        try:
            with open(os.path.join(folder, name), encoding="utf-8") as info:
                keys = dict(line.rstrip("\n").split("=", 1) for line in info if "=" in line)
        except FileNotFoundError:
            continue
        if "file" in keys:
            named[name[: -len(".info")]] = keys["file"]
    return named


def in_flight(folder: str) -> list:
    """Entries that are neither the lock, an info file nor a drawing an info file names."""
    try:
        names = set(os.listdir(folder))
        known = {"lock"} | set(named_files(folder).values())
    except FileNotFoundError:
        return []
    return sorted(n for n in names if n not in known and not n.endswith(".info"))


def last(root: str, pid: str) -> str:
    """The drawing files the session of pid names, joined (empty: none yet)."""
    for folder in sessions(root, pid):
        return ",".join(sorted(named_files(folder).values()))
    return ""


def wait_new(root: str, pid: str, previous: str, timeout: float) -> int:
    """Waits until the session of pid names other drawing files than previous, none in flight."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        now = last(root, pid)
        folders = sessions(root, pid)
        if now and now != previous and folders and not in_flight(folders[0]):
            print(now)
            return 0
        time.sleep(0.02)
    print(f"no new autosave of {pid} in {timeout} s (still {previous!r})", file=sys.stderr)
    return 1


def event_names(events: bytes) -> list:
    """The names in a buffer of struct inotify_event (wd, mask, cookie, len, name[len])."""
    names = []
    while len(events) >= 16:
        length = int.from_bytes(events[12:16], sys.byteorder)
        names.append(events[16 : 16 + length].split(b"\0", 1)[0].decode(errors="replace"))
        events = events[16 + length :]
    return names


def kill_in_write(root: str, pid: str, previous: str, timeout: float, ready: str, nth: int) -> int:
    """Kills pid with SIGKILL the moment the nth file is made or renamed into its session folder
    during an autosave, told by inotify (1: its temporary drawing file made; 2: that file renamed
    to its own name, complete, the info file not yet naming it); the file ready is made once it
    watches. Fails when the autosave completed unseen, or when none started."""
    folders = sessions(root, pid)
    if not folders:
        print(f"no session folder of {pid}", file=sys.stderr)
        return 1
    libc = ctypes.CDLL(None, use_errno=True)
    in_create, in_moved_to = 0x100, 0x80
    fd = libc.inotify_init1(os.O_NONBLOCK)
    if fd < 0 or libc.inotify_add_watch(fd, folders[0].encode(), in_create | in_moved_to) < 0:
        print(f"inotify: {os.strerror(ctypes.get_errno())}", file=sys.stderr)
        return 1
    try:
        with open(ready, "w", encoding="utf-8"):
            pass
        poller = select.poll()
        seen = []
        poller.register(fd, select.POLLIN)
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if poller.poll(100):
                for name in event_names(os.read(fd, 4096)):
                    seen.append(name)
                    if len(seen) == nth:
                        os.kill(int(pid), signal.SIGKILL)
                        print(f"killed as {name} was made (after {seen})")
                        return 0
            if last(root, pid) != previous:
                print(f"the autosave ended before it was seen ({previous} -> {last(root, pid)})")
                return 2
    finally:
        os.close(fd)
    print(f"no autosave started in {timeout} s", file=sys.stderr)
    return 1


def freeze(root: str, out: str) -> int:
    """Copies each drawing the folder offers (of every session) to out as <slot><ext>, with
    the entries in flight listed on stdout."""
    os.makedirs(out, exist_ok=True)
    count = 0
    for folder in sessions(root):
        for slot, name in named_files(folder).items():
            if not os.path.isfile(os.path.join(folder, name)):
                print(f"{slot}.info names {name}, which is not there: that autosave is lost")
                return 1
            shutil.copyfile(os.path.join(folder, name), os.path.join(out, slot + os.path.splitext(name)[1]))
            count += 1
        print(f"{os.path.basename(folder)}: in flight {in_flight(folder)}")
    print(f"{count} drawing(s) offered")
    return 0 if count else 1


def entities(path: str) -> dict:
    import ezdxf  # pylint: disable=import-outside-toplevel  # slow: only where it is used

    document = ezdxf.readfile(path)
    auditor = document.audit()
    if auditor.has_errors:
        raise SystemExit(f"{path}: audit errors {[str(e) for e in auditor.errors]}")
    found = {}
    for entity in document.modelspace():
        attributes = {k: v for k, v in entity.dxfattribs().items() if k != "owner"}
        found[entity.dxf.handle] = (entity.dxftype(), repr(sorted(attributes.items())))
    return found


def same(expected: str, actual: str) -> int:
    a, b = entities(expected), entities(actual)
    missing = sorted(set(a) - set(b))
    extra = sorted(set(b) - set(a))
    changed = sorted(h for h in set(a) & set(b) if a[h] != b[h])
    for label, handles in (("missing", missing), ("unexpected", extra), ("changed", changed)):
        if handles:
            print(f"{actual}: {len(handles)} {label}, e.g. {handles[:5]}")
    if missing or extra or changed:
        return 1
    print(f"{actual}: the same {len(b)} entities as {expected}")
    return 0


def fewer(original: str, edited: str) -> int:
    """edited holds a proper subset of original's entities (some were deleted)."""
    a, b = entities(original), entities(edited)
    if not set(b) < set(a):
        print(f"{edited}: {len(b)} entities, not a proper subset of the {len(a)} of {original}")
        return 1
    print(f"{edited}: {len(a) - len(b)} of {len(a)} entities deleted")
    return 0


def empty(root: str) -> int:
    left = [os.path.join(f, n) for f in sessions(root) for n in os.listdir(f)]
    if left:
        print(f"left after a clean close: {left}")
        return 1
    return 0


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    if command == "last":
        print(last(*args))
        sys.exit(0)
    commands = {
        "wait-new": lambda: wait_new(args[0], args[1], args[2], float(args[3])),
        "kill-in-write": lambda: kill_in_write(
            args[0], args[1], args[2], float(args[3]), args[4], int(args[5])
        ),
        "freeze": lambda: freeze(args[0], args[1]),
        "same": lambda: same(args[0], args[1]),
        "fewer": lambda: fewer(args[0], args[1]),
        "empty": lambda: empty(args[0]),
    }
    sys.exit(commands[command]())
