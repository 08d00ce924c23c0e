#!/usr/bin/env python3
"""Times Tesk's engines against peer tools, side by side, and writes bench/RESULTS.md.

Every workload runs each tool in turn, several rounds (taking turns, so that a change in
the machine's load hits every tool alike), and reports the median wall time, the ratio of
Tesk's time to each peer's, archive sizes and peak memory (maximum resident set size).

Usage: run_bench.py --bin BUILD_BIN --work DIR [--rounds N] [--quick] [--huge]
                    [--repeat-limit SECONDS]

A tool whose first run of a workload takes longer than the repeat limit is not run again
for it (its one time stands as the median; the table marks it), so that the slowest peers
do not stretch a full run over hours.
"""
import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))

PY_CREATE = r'''
import os, sys, zipfile
out, src, level = sys.argv[1], sys.argv[2], int(sys.argv[3])
method = zipfile.ZIP_STORED if level == 0 else zipfile.ZIP_DEFLATED
with zipfile.ZipFile(out, "w", method, compresslevel=None if level == 0 else level) as z:
    base = os.path.dirname(os.path.abspath(src))
    for root, dirs, files in os.walk(src):
        z.write(root, os.path.relpath(root, base))
        for f in files:
            p = os.path.join(root, f)
            z.write(p, os.path.relpath(p, base))
'''
# The window runs without a display.
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")

PY_EXTRACT = "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])"
PY_TEST = "import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)"


def run_timed(cmd, cwd):
    """Runs cmd under GNU time; returns (seconds, peak RSS in MB)."""
    stats = os.path.join(cwd, ".time")
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", stats] + cmd, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)
    seconds = time.perf_counter() - start
    # A tool that times itself (the window: only the command, not its start) says so.
    for line in proc.stdout.decode(errors="replace").splitlines():
        if (" through the window: " in line or " without the window: " in line) and line.endswith(" s"):
            seconds = float(line.split()[-2])
    if proc.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed ({proc.returncode}): "
                           f"{proc.stderr.decode(errors='replace')[-500:]}")
    with open(stats) as f:
        rss_kb = int(f.read().split()[-1])
    os.remove(stats)
    return seconds, rss_kb / 1024


class Workload:
    """One piece of work done by several tools; prepare() runs untimed before each run."""

    def __init__(self, title, tools, goal="", check=None, trash=True):
        self.title, self.tools, self.goal, self.check = title, tools, goal, check
        self.trash = trash
        self.times = {name: [] for name, _, _ in tools}
        self.rss = {name: 0.0 for name, _, _ in tools}
        self.sizes = {}

    def run(self, rounds, cwd, repeat_limit):
        # Folders written by earlier runs are moved aside and deleted only after the workload:
        # deleting thousands of files just before a run makes the file system's inode
        # allocation the slowest part of the next extraction, whichever tool runs it. A few
        # large files (trash=False) are deleted at once instead: kept, each run's gigabyte
        # would stay in the page cache, and every later run would pay for reclaiming it.
        trash = os.path.join(cwd, ".bench-trash")
        os.makedirs(trash, exist_ok=True)
        for round_number in range(rounds):
            # Every other round runs the tools in reverse, so that a machine slowly settling
            # (write-back, freed inodes) weighs on all of them alike, not on the first.
            order = self.tools if round_number % 2 == 0 else self.tools[::-1]
            for name, make_cmd, output in order:
                if self.times[name] and self.times[name][0] > repeat_limit:
                    continue
                if output:
                    path = os.path.join(cwd, output)
                    if self.trash and os.path.isdir(path) and not os.path.islink(path):
                        os.rename(path, os.path.join(trash, f"{output}-{round_number}"))
                    else:
                        clear(path)
                        os.sync()
                seconds, rss = run_timed(make_cmd(), cwd)
                self.times[name].append(seconds)
                self.rss[name] = max(self.rss[name], rss)
                if output and os.path.isfile(os.path.join(cwd, output)):
                    self.sizes[name] = os.path.getsize(os.path.join(cwd, output))
        for _, _, output in self.tools:
            if output:
                clear(os.path.join(cwd, output))
        clear(trash)
        # The next workload should not pay for writing back and freeing this one's files.
        os.sync()

    def table(self):
        tesk = statistics.median(self.times["tesk"])
        rows = [f"### {self.title}", ""]
        if self.goal:
            rows += [f"Goal: {self.goal}", ""]
        rows += ["| tool | median s | tesk / tool | archive MB | size / tool's | peak RSS MB |",
                 "|---|---:|---:|---:|---:|---:|"]
        for name, _, _ in self.tools:
            t = statistics.median(self.times[name])
            size = self.sizes.get(name)
            size_text = f"{size / 1e6:.1f}" if size else ""
            size_ratio = (f"{self.sizes['tesk'] / size:.3f}"
                          if size and self.sizes.get("tesk") and name != "tesk" else "")
            ratio = f"{tesk / t:.2f}" if name != "tesk" else ""
            once = " (1 run)" if len(self.times[name]) == 1 else ""
            rows.append(f"| {name} | {t:.2f}{once} | {ratio} | {size_text} | {size_ratio} | "
                        f"{self.rss[name]:.0f} |")
        if self.check:
            rows += ["", "Result: " + self.check(self)]
        return "\n".join(rows) + "\n"

    def median(self, name):
        return statistics.median(self.times[name])

    def ratio(self, name):
        return self.median("tesk") / self.median(name)

    def size_ratio(self, name):
        if "tesk" not in self.sizes or name not in self.sizes:
            return None
        return self.sizes["tesk"] / self.sizes[name]


def verdict(ok):
    return "**met**" if ok else "**not met**"


def create_check(limit, reference="zip"):
    """tesk <= limit x the reference's time, faster than every peer, size <= 1.01x zip's."""
    def check(w):
        ratio = w.ratio(reference)
        peers = [n for n, _, _ in w.tools if n not in ("tesk",)]
        slower_than = [n for n in peers if w.median("tesk") >= w.median(n)]
        size = w.size_ratio("zip")
        parts = [f"{ratio:.2f}x {reference} (goal <= {limit})"]
        ok = ratio <= limit
        if limit < 0.8:  # levels 3, 6, 9: also faster than every peer
            parts.append("faster than every peer" if not slower_than
                         else "not faster than " + ", ".join(slower_than))
            ok = ok and not slower_than
        if size is not None:
            parts.append(f"size {size:.3f}x zip's (goal <= 1.01)")
            ok = ok and size <= 1.01
        return verdict(ok) + ": " + "; ".join(parts)
    return check


def ratio_check(reference, limit):
    def check(w):
        ratio = w.ratio(reference)
        return verdict(ratio <= limit) + f": {ratio:.2f}x {reference} (goal <= {limit})"
    return check


def all_checks(*checks):
    def check(w):
        results = [c(w) for c in checks]
        ok = all(r.startswith("**met**") for r in results)
        return verdict(ok) + ": " + "; ".join(r.split(": ", 1)[1] for r in results)
    return check


def seconds_check(limit):
    def check(w):
        t = w.median("tesk")
        return verdict(t <= limit) + f": {t:.3f} s (goal <= {limit} s)"
    return check


def memory_check(limit_mb):
    def check(w):
        rss = w.rss["tesk"]
        return verdict(rss <= limit_mb) + f": peak {rss:.0f} MB (goal <= {limit_mb} MB)"
    return check


def longest_gap(cmd, cwd, env_extra=None):
    """Runs tesk-bench with TESK_BENCH_GAPS and returns the longest gap it reports."""
    env = dict(os.environ, TESK_BENCH_GAPS="1", **(env_extra or {}))
    proc = subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    for line in proc.stderr.splitlines():
        if line.startswith("longest gap between messages:"):
            return float(line.split(":")[1].split()[0]), line.split("before:", 1)[1].strip()
    raise RuntimeError(f"{' '.join(cmd)}: no gap reported ({proc.returncode}): {proc.stderr[-300:]}")


def clear(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)


def create_tools(bench, source, level):
    py = [sys.executable, "-c", PY_CREATE, "py.zip", source, str(level)]
    bsd_opts = "zip:compression=store" if level == 0 else f"zip:compression-level={level}"
    return [
        ("tesk", lambda: [bench, "create", "tesk.zip", source, str(level)], "tesk.zip"),
        ("zip", lambda: ["zip", "-r", "-q", f"-{level}", "zip.zip", source], "zip.zip"),
        ("7zz", lambda: ["7zz", "a", "-tzip", f"-mx={level}", "-mmt=on", "-bd", "-bso0",
                         "7z.zip", source], "7z.zip"),
        ("bsdtar", lambda: ["bsdtar", "-cf", "bsd.zip", "--format", "zip", "--options", bsd_opts,
                            source], "bsd.zip"),
        ("python", lambda: py, "py.zip"),
    ]


def extract_tools(bench, archive, cwd):
    def fresh(name):
        def make():
            os.makedirs(os.path.join(cwd, name), exist_ok=True)
            return name
        return make
    return [
        ("tesk", lambda: [bench, "extract", archive, fresh("out-tesk")()], "out-tesk"),
        ("unzip", lambda: ["unzip", "-q", "-o", archive, "-d", "out-unzip"], "out-unzip"),
        ("7zz", lambda: ["7zz", "x", "-y", "-bd", "-bso0", "-oout-7z", archive], "out-7z"),
        ("bsdtar", lambda: ["bsdtar", "-xf", archive, "-C", fresh("out-bsd")()], "out-bsd"),
        ("python", lambda: [sys.executable, "-c", PY_EXTRACT, archive, "out-py"], "out-py"),
    ]


def copy_tool(source):
    """The file system's floor: the same tree copied by cp."""
    return ("cp -r", lambda: ["cp", "-r", source, "out-cp"], "out-cp")


def window_tools(bin_dir, work, command, source, archive):
    """The real window doing a command, beside the same work with the same options handed
    straight to the engine objects; both timed inside the process, from the command on."""
    window = os.path.join(bin_dir, "window_benchmark")
    if command == "extract":
        def out(name):
            def make():
                os.makedirs(os.path.join(work, name), exist_ok=True)
                return os.path.join(work, name)
            return make
        return [("tesk", lambda: [window, "extract", archive, out("out-window")()], "out-window"),
                ("engine", lambda: [window, "extract-engine", archive, out("out-engine")()],
                 "out-engine")]
    folder = os.path.abspath(os.path.join(work, source))
    return [("tesk", lambda: [window, "create", folder, os.path.join(work, "window.zip")],
             "window.zip"),
            ("engine", lambda: [window, "create-engine", folder, os.path.join(work, "engine.zip")],
             "engine.zip")]


def test_tools(bench, archive):
    return [
        ("tesk", lambda: [bench, "test", archive], None),
        ("unzip", lambda: ["unzip", "-tq", archive], None),
        ("7zz", lambda: ["7zz", "t", "-bd", "-bso0", archive], None),
        ("python", lambda: [sys.executable, "-c", PY_TEST, archive], None),
    ]


def list_tools(bench, archive):
    return [
        ("tesk", lambda: [bench, "list", archive], None),
        ("unzip", lambda: ["unzip", "-l", archive], None),
        ("7zz", lambda: ["7zz", "l", "-bd", archive], None),
        ("python", lambda: [sys.executable, "-c",
                            "import sys,zipfile; len(zipfile.ZipFile(sys.argv[1]).infolist())",
                            archive], None),
    ]


def machine():
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
    def version(package):
        # Only the package's version: the tools' own banners carry more than that.
        try:
            out = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package],
                                 capture_output=True, text=True).stdout.strip()
            return out or "missing"
        except OSError:
            return "unknown"
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    return "\n".join([
        f"- CPU: {cpu}, {os.cpu_count()} cores; memory {mem:.0f} GiB; {platform.platform()}",
        f"- load average when the results were written: {load}",
        f"- peers (Debian package versions): zip {version('zip')}, unzip {version('unzip')}, "
        f"7zz {version('7zip')}, bsdtar {version('libarchive-tools')}, "
        f"python {platform.python_version()}",
    ])


def write_results(args, rounds, verdicts, sections, finished):
    """Writes what was measured so far, so that an interrupted run still leaves results."""
    # The compression methods' section comes from bench_methods.py: keep it.
    kept = ""
    if os.path.exists(args.out):
        with open(args.out) as f:
            old = f.read()
        at = old.find("\n## Compression methods (bench_methods.py)")
        kept = old[at:] if at >= 0 else ""
    with open(args.out, "w") as f:
        f.write("# Benchmark results\n\n")
        if not finished:
            f.write("**Incomplete: the run was still going or was interrupted.**\n\n")
        f.write(f"Measured {time.strftime('%Y-%m-%d')} by `make bench` "
                f"({rounds} rounds, tools taking turns, medians; a tool whose first run took "
                f"over {args.repeat_limit:.0f} s ran once).\n\n")
        f.write(machine() + "\n\n")
        f.write("## Goals\n\n| goal | result |\n|---|---|\n")
        for title, result in verdicts:
            f.write(f"| {title} | {result} |\n")
        f.write("\n## Measurements\n\nRatios below 1 mean Tesk took less time than that tool. "
                "Tesk runs through `tesk-bench`, which calls the engines' C interfaces as the "
                "program does; the peers run as `zip -r -q -N`, `unzip -q -o`, `unzip -tq`, "
                "`7zz a -tzip -mx=N -mmt=on`, `7zz x`, `bsdtar --format zip` and python's "
                "zipfile; `cp -r` of the same tree is the file system's floor. The window rows "
                "time the real main window (`window_benchmark`, offscreen, choosers "
                "answered by a script, the closing message box pressed at once) from the "
                "command to its closing message, beside the same work with the same options "
                "handed to the engine objects without the window.\n\n")
        f.write("\n".join(sections))
        f.write(kept)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with tesk-bench and the engines")
    parser.add_argument("--work", required=True, help="scratch folder for corpus and outputs")
    parser.add_argument("--rounds", type=int, help="default 3, or 1 with --quick")
    parser.add_argument("--quick", action="store_true", help="tree only, level 6")
    parser.add_argument("--huge", action="store_true", help="also the 4 GiB memory runs")
    parser.add_argument("--repeat-limit", type=float, default=90.0,
                        help="seconds; a tool slower than this on its first run runs once")
    parser.add_argument("--out", default=os.path.join(HERE, "RESULTS.md"))
    args = parser.parse_args()

    bench = os.path.abspath(os.path.join(args.bin, "tesk-bench"))
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    corpus = os.path.join(work, "corpus")
    if not os.path.isdir(os.path.join(corpus, "tree")):
        subprocess.run([sys.executable, os.path.join(HERE, "make_corpus.py"), corpus, "--tree-only"],
                       check=True)
    if not args.quick and not os.path.isdir(os.path.join(corpus, "big")):
        subprocess.run([sys.executable, os.path.join(HERE, "make_corpus.py"), corpus, "--big-only"],
                       check=True)

    rounds = args.rounds or (1 if args.quick else 3)
    levels = [6] if args.quick else [6, 9, 3, 0]
    limits = {6: 0.3, 9: 0.3, 3: 0.5, 0: 0.8}
    goals = {6: "tesk <= 0.3x zip, faster than every peer; size <= 1.01x zip's",
             9: "tesk <= 0.3x zip, faster than every peer; size <= 1.01x zip's",
             3: "tesk <= 0.5x zip, faster than every peer; size <= 1.01x zip's",
             0: "tesk <= 0.8x zip -0"}
    sections = []
    verdicts = []

    def bench_section(workload):
        print(f"== {workload.title}", flush=True)
        workload.run(rounds, corpus, args.repeat_limit)
        text = workload.table()
        print(text, flush=True)
        sections.append(text)
        if workload.check:
            verdicts.append((workload.title, workload.check(workload)))
        write_results(args, rounds, verdicts, sections, finished=False)

    sets = ["tree"] if args.quick else ["tree", "big"]
    for name in sets:
        for level in levels:
            bench_section(Workload(f"Create the {name}, level {level}",
                                   create_tools(bench, name, level), goals[level],
                                   create_check(limits[level])))

    archives = {}
    extraction_goals = {
        "tree": ("tesk <= 1.2x cp -r of the same tree and <= 0.6x unzip -q",
                 all_checks(ratio_check("cp -r", 1.2), ratio_check("unzip", 0.6))),
        "big": ("tesk <= 1.3x cp of the same files and <= 0.5x unzip -q",
                all_checks(ratio_check("cp -r", 1.3), ratio_check("unzip", 0.5))),
    }
    test_goals = {"tree": 0.35, "big": 0.4}
    for name in ("tree", "big"):
        if name not in sets:
            continue
        archive = os.path.join(work, f"{name}-zip6.zip")
        if not os.path.exists(archive):
            subprocess.run(["zip", "-r", "-q", "-6", archive, name], cwd=corpus, check=True)
        archives[name] = archive
        goal, check = extraction_goals[name]
        bench_section(Workload(f"Extract the {name} (archive made by zip -6)",
                               extract_tools(bench, archive, corpus) + [copy_tool(name)],
                               goal, check, trash=name != "big"))
        bench_section(Workload(f"Test the {name} archive", test_tools(bench, archive),
                               f"tesk <= {test_goals[name]}x unzip -tq",
                               ratio_check("unzip", test_goals[name])))

    # What a user waits for: the same work through the window (scripted choosers, the
    # closing message box pressed at once) and by the engine objects alone.
    if os.path.exists(os.path.join(args.bin, "window_benchmark")):
        bin_dir = os.path.abspath(args.bin)
        bench_section(Workload("Extract the tree through the window",
                               window_tools(bin_dir, corpus, "extract", "tree",
                                            archives["tree"]),
                               "the window <= 1.1x the engine alone",
                               ratio_check("engine", 1.1)))
        bench_section(Workload("Compress the tree through the window",
                               window_tools(bin_dir, corpus, "compress", "tree", None),
                               "the window <= 1.1x the engine alone",
                               ratio_check("engine", 1.1)))

    many = os.path.join(work, "many-100000.zip")
    if not os.path.exists(many):
        with zipfile.ZipFile(many, "w") as z:
            for i in range(100000):
                z.writestr(f"d{i // 1000}/f{i}.txt", b"x")
    bench_section(Workload("List an archive of 100,000 entries", list_tools(bench, many),
                           "tesk <= 0.3 s (the whole process)", seconds_check(0.3)))

    # The longest time without a message while the engine runs, with the message levels the
    # program uses (zip: summary; unzip: a line per entry) and unzip's summary level too.
    gap_runs = []
    if "big" in sets:
        gap_out = os.path.join(work, "gap.zip")
        for level in (6, 9):
            clear(gap_out)
            gap_runs.append((f"create the big set, level {level}",
                             [bench, "create", gap_out, "big", str(level)], {}))
        for level in ("0", "1"):
            gap_runs.append((f"extract the big set (message level {level})",
                             [bench, "extract", archives["big"], "gap-out"],
                             {"TESK_BENCH_MESSAGELEVEL": level}))
        gap_runs.append(("test the big set", [bench, "test", archives["big"]], {}))

    if args.huge:
        huge_dir = os.path.join(corpus, "huge")
        os.makedirs(huge_dir, exist_ok=True)
        huge = os.path.join(huge_dir, "4gib.bin")
        if not os.path.exists(huge):
            with open(os.path.join(corpus, "big", "records.bin"), "rb") as f:
                chunk = f.read(256 << 20)
            with open(huge, "wb") as f:
                for _ in range(16):
                    f.write(chunk)
        bench_section(Workload("Create one 4 GiB file, level 6",
                               create_tools(bench, "huge", 6)[:2], "peak RSS <= 300 MB",
                               memory_check(300)))
        archive = os.path.join(work, "huge-tesk6.zip")
        if not os.path.exists(archive):
            subprocess.run([bench, "create", archive, huge_dir, "6"], check=True)
        bench_section(Workload("Extract one 4 GiB file",
                               extract_tools(bench, archive, corpus)[:2], "peak RSS <= 300 MB",
                               memory_check(300)))
        gap_runs.append(("create the 4 GiB file, level 6",
                         [bench, "create", os.path.join(work, "gap.zip"), "huge", "6"], {}))
        gap_runs.append(("extract the 4 GiB file", [bench, "extract", archive, "gap-out"], {}))

    gap_rows = []
    for title, cmd, env in gap_runs:
        clear(os.path.join(work, "gap.zip"))
        clear(os.path.join(corpus, "gap-out"))
        if cmd[1] == "extract":
            os.makedirs(os.path.join(corpus, "gap-out"))
        print(f"== longest gap: {title}", flush=True)
        gap, before = longest_gap(cmd, corpus, env)
        gap_rows.append(f"| {title} | {gap:.2f} | {before} |")
        verdicts.append((f"Progress gap, {title}",
                         verdict(gap <= 0.5) + f": {gap:.2f} s (goal <= 0.5 s)"))
    clear(os.path.join(work, "gap.zip"))
    clear(os.path.join(corpus, "gap-out"))
    if gap_rows:
        sections.append("\n".join(["### Longest time without a message (TESK_BENCH_GAPS)", "",
                                   "Goal: a message at least every 0.5 s while the engine runs.",
                                   "", "| run | longest gap s | the message that ended it |",
                                   "|---|---:|---|"] + gap_rows) + "\n")

    write_results(args, rounds, verdicts, sections, finished=True)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
