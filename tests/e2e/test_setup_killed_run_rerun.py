"""An installation or uninstallation killed at any instant is put right by
running it again.

Each kind of run is first made once, uninterrupted, on a fresh copy of one
prepared prefix: that gives the reference state (files under the install
folder, the distribution folder, the Windows folder and the Start menu, and
the registry keys the script writes) and the file-system events of the run
(inotify on those folders). Then, for k = 1, 2, ... each on a fresh copy of
the prefix and of the distribution, the run is killed (SIGKILL to the
process this scenario started) at its k-th event and checked:
  (a) no file under an installed name differs both from what was there
      before and from what the uninterrupted run leaves there;
  (b) the distribution lost nothing it still needs: every file is still
      there whole, or already whole at its destination;
  (c) running it again (silently) exits 0 and leaves exactly the reference
      state.
Kinds: the shipped script's silent installation (every event); its silent
uninstallation by the recorded UninstallString, rerun by that string, or,
once the entry has gone, by installing again and uninstalling (every
event); a generated installer of 300 copies and 100 moves in two meter
blocks (eleven kills spread over its run); and one rerun through the wizard
after a kill, every page and question answered with its default."""
import hashlib
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ARTIFACTS, FileEvents, Session, check, run  # noqa: E402
import killed_run_script as generated  # noqa: E402
import roundtrip as rt  # noqa: E402
import setup_e2e as se  # noqa: E402

NAME = "setup_killed_run_rerun"
# Registry keys the scripts write, by the file Wine keeps them in.
KEYS = {
    "system.reg": [r"Software\Mokra", r"Software\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe",
                   r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo"],
    "user.reg": [r"Software\Mokra", r"AppEvents\EventLabels\KelvoIMEChange", r"AppEvents\Schemes\Apps\Kelvo"],
}
GENERATED_KILLS = 10
# The shipped distribution's folder, C:\Kelvo.
DIST = "Kelvo"


# -- what a run leaves ---------------------------------------------------------
def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()[:16]


def files(s, dists):
    """{path under C: (with / between names): content digest, "<dir>" for
    a folder} for the install folders, the given distribution folders, the
    Start menu and the files right in the Windows folder."""
    found = {}

    def tree(root):
        for folder, _, names in os.walk(root):
            rel = os.path.relpath(folder, s.c_drive)
            found[rel + "/"] = "<dir>"
            for name in names:
                found[f"{rel}/{name}"] = digest(os.path.join(folder, name))

    for root in [s.unix(r"C:\Program Files\Mokra"), rt.programs_folder(s), *dists]:
        tree(root)
    windows = os.path.join(s.c_drive, "windows")
    for name in os.listdir(windows):
        if os.path.isfile(os.path.join(windows, name)):
            found[f"windows/{name}"] = digest(os.path.join(windows, name))
    return found


def registry(s):
    """{key: its value lines} for the keys the scripts write and their
    subkeys, read from Wine's registry files (Wine must be stopped)."""
    found = {}
    for file, roots in KEYS.items():
        roots = [r.lower() for r in roots]
        key = None
        with open(os.path.join(s.prefix, file), encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.rstrip("\n")
                m = re.match(r"^\[(.*)\]( \d+)?$", line)
                if m:
                    name = m.group(1).replace("\\\\", "\\")
                    wanted = any(name.lower() == r or name.lower().startswith(r + "\\") for r in roots)
                    key = f"{file}:{name}" if wanted else None
                    if key:
                        found[key] = []
                elif key and line and not line.startswith("#time="):
                    found[key].append(line)
    return {k: tuple(v) for k, v in found.items()}


def state(s, dists):
    """Everything a run is judged by; stops Wine so that the registry is on
    disk and no program is still writing."""
    s.stop_wine()
    return {"files": files(s, dists), "registry": registry(s)}


def differences(expected, actual, ignore=lambda name: False):
    out = []
    for part in ("files", "registry"):
        for name in sorted(set(expected[part]) | set(actual[part])):
            if ignore(name):
                continue
            want, got = expected[part].get(name), actual[part].get(name)
            if want != got:
                what = "missing" if got is None else "left over" if want is None else "differs"
                out.append(f"{what}: {name}")
    return out


# -- one run, counted by its file events and killed at one of them -----------------
def watched(s, dists):
    """(trees, folders) to watch: the install folders as they come, the
    distribution folders, the Start menu, the Windows folder."""
    program_files = s.unix(r"C:\Program Files")
    trees = [rt.programs_folder(s), *dists]
    mokra = os.path.join(program_files, "Mokra")
    if os.path.isdir(mokra):
        trees.append(mokra)
    return trees, [program_files, os.path.join(s.c_drive, "windows")]


def one_processor():
    """Puts this scenario, and so every program it starts (Wine's server
    too), on one processor. The watcher then counts in the real-time class
    (watcher_first): an event wakes it before the process that made the
    event takes another step, so that a kill lands at that very event, not
    some file operations later on a busy machine."""
    os.sched_setaffinity(0, {max(os.sched_getaffinity(0))})


def watcher_first(on):
    try:
        if on:
            os.sched_setscheduler(0, os.SCHED_FIFO | os.SCHED_RESET_ON_FORK, os.sched_param(1))
        else:
            os.sched_setscheduler(0, os.SCHED_OTHER, os.sched_param(0))
    except OSError:
        pass  # without the right to, kills may land a little late


def counted_run(s, start, dists, kill_at=None):
    """Starts a run (start() returns its process) and lists its file events
    until it and its hidden clean-up copy have ended; kills it at the
    kill_at-th event. Returns (events, True when the kill landed)."""
    trees, folders = watched(s, dists)
    watch = FileEvents(trees, folders)
    watcher_first(True)
    proc = start()
    watch.pause = proc
    events = []
    killed = settled = False
    try:
        while True:
            batch = watch.read(0.3 if settled else 0.05)
            for event in batch:
                events.append(event)
                if len(events) == kill_at and proc.poll() is None:
                    proc.kill()
                    killed = True
            watch.resume()
            if batch:
                continue
            if settled:
                break
            if proc.poll() is not None:
                # A run that ended by itself: what its clean-up copy does
                # still counts.
                if not killed:
                    s.wait_programs_gone("-cleanup")
                settled = True
    finally:
        watch.resume()
        watch.close()
        watcher_first(False)
    proc.wait()
    s.wait_programs_gone("-cleanup")
    if watch.overflowed:
        check(False, "no file event was lost")
    return events, killed


def described(s, event):
    path, kind = event
    return f"{kind} {os.path.relpath(path, s.c_drive)}"


# -- the checks after a kill ---------------------------------------------------
class Tally:
    """Counts per kind of run, and each failed check by its name, so that one
    run shows every fault rather than the first."""

    def __init__(self):
        self.lines = []
        self.failed = {}
        self.kinds = {}

    def kind(self, name):
        return self.kinds.setdefault(name, {"runs": 0, "kills": 0, "points": set(), "reruns": 0, "right": 0})

    def check(self, condition, case, what, detail=""):
        line = ("ok   " if condition else "FAIL ") + f"{case}: {what}" + (f" ({detail})" if detail and not condition else "")
        print(line, flush=True)
        self.lines.append(line)
        if not condition:
            self.failed.setdefault(what, []).append(case)
        return condition


def no_half_written(tally, case, old, new, now, dists):
    """(a): under every name outside the distribution folders (dists, under
    C:), what is there now is what was there before or what the
    uninterrupted run leaves."""
    outside = tuple(d + "/" for d in dists)
    bad = [name for name in sorted(set(old) | set(new))
           if not name.startswith(outside) and now.get(name) not in (old.get(name), new.get(name))]
    tally.check(not bad, case, "(a) no file under an installed name differs from both its old and new content",
                ", ".join(bad[:4]))


def distribution_kept(tally, case, shipped, now):
    """(b): shipped is {(file in the distribution, its destination): digest}."""
    lost = [source for (source, target), whole in shipped.items()
            if now.get(source) != whole and now.get(target) != whole]
    tally.check(not lost, case, "(b) the distribution lost nothing it still needs", ", ".join(lost[:4]))


def judged_rerun(tally, case, code, boxes, reference, now, ignore=lambda name: False):
    """(c): the rerun exits 0, without a message, and leaves the reference
    state."""
    ok = tally.check(code == 0, case, "(c) the rerun exits 0", f"exit {code}")
    ok = tally.check(not boxes, case, "(c) the rerun shows no message", " / ".join(boxes)) and ok
    diff = differences(reference, now, ignore)
    ok = tally.check(not diff, case, "(c) the rerun leaves the reference state",
                     f"{len(diff)} differences: " + "; ".join(diff[:4])) and ok
    return ok


# -- the kinds of run ------------------------------------------------------------


def shipped_sources(s):
    """{(distribution file, its destination): digest} of the shipped script."""
    return {(f"{DIST}/{name}", "Program Files/Mokra/Kelvo/" + slashed(target)): digest(s.dist_file(name))
            for name, target in rt.INSTALLED.items()}


def kill_each(s, tally, kind, base, prepare, start, kill_points, put_right):
    """The uninterrupted run of one kind (its state before and after, and its
    file events), then one run per kill point on a fresh copy of the kept
    prefix base, killed there and checked. prepare() lays out what the run
    needs and returns the distribution folders; start(dists) starts the run;
    kill_points(events) chooses the points; put_right(case, k, dists, now,
    reference) checks the rest and runs it again, True when that put it
    right. Returns (before, reference, events)."""
    s.restore_prefix(base)
    dists = prepare()
    before = state(s, dists)
    s.boot()
    events, _ = counted_run(s, lambda: start(dists), dists)
    reference = state(s, dists)
    print(f"     {kind}: the uninterrupted run makes {len(events)} file events", flush=True)
    with open(os.path.join(s.artifacts, f"{kind}_events.txt"), "w") as f:
        f.write("".join(f"{i + 1} {described(s, e)}\n" for i, e in enumerate(events)))
    stats = tally.kind(kind)
    for k in kill_points(events):
        case = f"{kind} k={k} ({described(s, events[k - 1])})"
        s.restore_prefix(base)
        dists = prepare()
        _, killed = counted_run(s, lambda: start(dists), dists, kill_at=k)
        stats["runs"] += 1
        now = files(s, dists)
        if not killed:
            diff = differences(reference, state(s, dists))
            tally.check(not diff, case, "a run that had ended leaves the reference state", "; ".join(diff[:4]))
            continue
        stats["kills"] += 1
        stats["points"].add(tuple(sorted(now.items())))
        no_half_written(tally, case, before["files"], reference["files"], now,
                        [os.path.relpath(d, s.c_drive) for d in dists])
        stats["reruns"] += 1
        if put_right(case, k, dists, now, reference):
            stats["right"] += 1
    return before, reference, events


def every_event(events):
    return range(1, len(events) + 1)


def silent_install(s, dists):
    return s.start(os.path.join(dists[0], "Setup.exe"), "-s", cwd=dists[0])


def installs(s, tally, kind, base, prepare, shipped, kill_points):
    """An installer run silently: kill_each with (b) and a silent rerun from
    the same distribution folder."""

    def put_right(case, k, dists, now, reference):
        distribution_kept(tally, case, shipped, now)
        if not os.path.exists(os.path.join(dists[0], "Setup.exe")):
            # Its clean-up copy had started: the run had done its work.
            code, boxes = 0, []
        else:
            code, boxes = se.finish(s, silent_install(s, dists), shot=f"{kind}_k{k:03d}_rerun.png")
            s.wait_programs_gone("-cleanup")
        return judged_rerun(tally, case, code, boxes, reference, state(s, dists))

    return kill_each(s, tally, kind, base, prepare, lambda dists: silent_install(s, dists), kill_points, put_right)


def uninstaller(s):
    """The recorded UninstallString with -s, started; None without one."""
    command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
    if command is None:
        return None
    program, option = command.rsplit(" ", 1)
    return s.start(program, option, "-s")


def uninstalls(s, tally, installed):
    """The recorded uninstaller killed at each of its events, then run
    again; once the entry has gone, installed again and uninstalled."""

    def put_right(case, k, dists, now, reference):
        codes, boxes = [], []
        proc = uninstaller(s)
        if proc is None:
            dist = rt.copy_dist(s, "Kelvo2")
            code, shown = settle(s, silent_install(s, [dist]), f"uninstall_k{k:03d}_reinstall.png")
            codes.append(code)
            boxes += shown
            proc = uninstaller(s)
        if proc is None:
            codes.append("no uninstaller recorded")
        else:
            code, shown = settle(s, proc, f"uninstall_k{k:03d}_rerun.png")
            codes.append(code)
            boxes += shown
        code = next((c for c in codes if c != 0), 0)
        return judged_rerun(tally, case, code, boxes, reference, state(s, dists))

    return kill_each(s, tally, "uninstall", installed, lambda: [], lambda dists: uninstaller(s), every_event,
                     put_right)


def settle(s, proc, shot=None):
    """Waits for a run and its hidden clean-up copy; (exit code, boxes)."""
    code, boxes = se.finish(s, proc, shot=shot)
    s.wait_programs_gone("-cleanup")
    return code, boxes


def installed_prefix(s, base):
    """The state the uninstallations start from, kept: the silent
    installation, with a Start-menu item and the switcher's own settings."""
    s.restore_prefix(base)
    dist = rt.copy_dist(s, DIST)
    settle(s, silent_install(s, [dist]))
    rt.check_installed(s, dist, start_menu=False)
    os.makedirs(os.path.dirname(rt.start_menu_item(s)), exist_ok=True)
    with open(rt.start_menu_item(s), "wb") as f:
        f.write(b"L\0\0\0")
    rt.settings_written_by_switcher(s)
    return s.keep_prefix("installed")


def generated_installs(s, tally, base, payload):
    """The generated installer, killed at points spread over its run."""
    contents = generated.make_payload(payload)
    shipped = {("Crash/" + slashed(source), "Program Files/Mokra/Crash/" + slashed(target)):
               hashlib.sha1(contents[source]).hexdigest()[:16] for source, target, _, _ in generated.files()}
    large = {target.split("\\")[-1] for _, target, size, _ in generated.files() if size >= 256 << 10}

    def prepare():
        dist = os.path.join(s.c_drive, "Crash")
        shutil.copytree(payload, dist)
        shutil.copy(s.testapp("Setup_killed_run.exe"), os.path.join(dist, "Setup.exe"))
        return [dist]

    def spread(events):
        """Evenly spread over the run; every other point moved on to the
        first write of the next large file, to land inside it; and one
        halfway through the deletion of the moved sources."""
        deletions = [j + 1 for j, (path, kind) in enumerate(events)
                     if kind == "delete" and os.path.basename(os.path.dirname(path)) == "move"]
        points = {deletions[len(deletions) // 2]}
        for i in range(1, GENERATED_KILLS + 1):
            k = max(1, len(events) * i // (GENERATED_KILLS + 1))
            if i % 2 == 0:
                k = next((j + 1 for j in range(k - 1, len(events))
                          if events[j][1] == "modify" and written_name(events, j) in large), k)
            points.add(k)
        return sorted(points)

    installs(s, tally, "generated", base, prepare, shipped, spread)


def written_name(events, j):
    """The name the file written at event j ends up with: its own, or the
    one it is renamed to once whole."""
    path = events[j][0]
    for i in range(j + 1, len(events) - 1):
        if events[i] == (path, "moved_from") and events[i + 1][1] == "moved_to":
            return os.path.basename(events[i + 1][0])
        if events[i] == (path, "create"):
            break
    return os.path.basename(path)


def slashed(name):
    return name.replace("\\", "/")


def wizard_rerun(s, tally, base, reference, events):
    """A silent run killed at the first write into the install folder, then
    the same distribution through the wizard with every default: no
    question about what the killed run wrote, and the reference state with
    the Start-menu item added."""
    k = next(i + 1 for i, (path, kind) in enumerate(events) if kind == "modify" and "Program Files" in path)
    case = f"wizard rerun after k={k} ({described(s, events[k - 1])})"
    stats = tally.kind("wizard")
    s.restore_prefix(base)
    dists = [rt.copy_dist(s, DIST)]
    _, killed = counted_run(s, lambda: silent_install(s, dists), dists, kill_at=k)
    check(killed, f"{case}: the kill landed")
    stats["runs"] += 1
    stats["kills"] += 1
    stats["points"].add(tuple(sorted(files(s, dists).items())))
    stats["reruns"] += 1
    proc = s.start(os.path.join(dists[0], "Setup.exe"), cwd=dists[0])
    code, asked = rt.wizard_defaults(s, proc, shot_prefix="wizard_rerun_")
    s.wait_programs_gone("-cleanup")
    overwrite = [q for q in asked if "新しいファイル" in q]
    wizard_ok = tally.check(not overwrite, case, "no overwrite question about a file the killed run wrote",
                            "; ".join(overwrite))
    now = state(s, dists)
    item = os.path.relpath(rt.start_menu_item(s), s.c_drive)
    menu = os.path.relpath(rt.programs_folder(s), s.c_drive)
    wizard_ok = tally.check(item in now["files"], case, "the Start-menu item was added") and wizard_ok
    others = [q for q in asked if q not in overwrite]
    if judged_rerun(tally, case, code, others, reference, now, ignore=lambda name: name.startswith(menu + "/")) \
            and wizard_ok:
        stats["right"] += 1


# -- the scenario ------------------------------------------------------------------
def scenario():
    started = time.time()
    one_processor()
    tally = Tally()
    payload = tempfile.mkdtemp(prefix="orvalt-killed-")
    try:
        with Session(NAME) as s:
            base = s.keep_prefix("base")
            _, reference, events = installs(s, tally, "install", base, lambda: [rt.copy_dist(s, DIST)],
                                            shipped_sources(s), every_event)
            check(any(key.endswith(r"Uninstall\Kelvo") for key in reference["registry"]) and
                  any(key.endswith(r"Schemes\Apps\Kelvo") for key in reference["registry"]),
                  "the reference installation holds the installer's registry keys")
            _, uninstalled, _ = uninstalls(s, tally, installed_prefix(s, base))
            check(not [key for key in uninstalled["registry"] if "kelvo" in key.lower()],
                  "an uninstallation leaves no registry key of Kelvo")
            check(not any(name.startswith("Program Files/Mokra") for name in uninstalled["files"]),
                  "an uninstallation leaves nothing in the install folder")
            check(any(name.lower() == "windows/rouninst.exe" for name in uninstalled["files"]),
                  "but the parked uninstaller in the Windows folder")
            generated_installs(s, tally, base, payload)
            wizard_rerun(s, tally, base, reference, events)
    finally:
        shutil.rmtree(payload, ignore_errors=True)

    summary = [f"{kind}: {n['runs']} runs, {n['kills']} kills, {len(n['points'])} distinct kill points, "
               f"{n['right']} of {n['reruns']} reruns put it right" for kind, n in tally.kinds.items()]
    summary += [f"failed {len(cases)}x: {what}" for what, cases in tally.failed.items()]
    summary.append(f"{time.time() - started:.0f} s")
    with open(os.path.join(ARTIFACTS, NAME, "summary.txt"), "w") as f:
        f.write("\n".join(tally.lines + [""] + summary) + "\n")
    for line in summary:
        print("     " + line, flush=True)
    check(not tally.failed, "every killed run was put right by running it again")


if __name__ == "__main__":
    run(scenario)
