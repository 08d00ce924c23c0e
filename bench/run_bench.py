#!/usr/bin/env python3
"""Times Tesk's engines against peer tools, side by side, and writes bench/RESULTS.md.

Every workload runs each tool in turn, several rounds (taking turns, so that a change in
the machine's load hits every tool alike), and reports the median wall time, the ratio of
Tesk's time to each peer's, archive sizes and peak memory (maximum resident set size).

Usage: run_bench.py --bin BUILD_BIN --work DIR [--rounds N] [--quick] [--huge]
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
PY_EXTRACT = "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])"
PY_TEST = "import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)"


def run_timed(cmd, cwd):
    """Runs cmd under GNU time; returns (seconds, peak RSS in MB)."""
    stats = os.path.join(cwd, ".time")
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", stats] + cmd, cwd=cwd,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed ({proc.returncode}): "
                           f"{proc.stderr.decode(errors='replace')[-500:]}")
    with open(stats) as f:
        rss_kb = int(f.read().split()[-1])
    os.remove(stats)
    return seconds, rss_kb / 1024


class Workload:
    """One piece of work done by several tools; prepare() runs untimed before each run."""

    def __init__(self, title, tools, goal=""):
        self.title, self.tools, self.goal = title, tools, goal
        self.times = {name: [] for name, _, _ in tools}
        self.rss = {name: 0.0 for name, _, _ in tools}
        self.sizes = {}

    def run(self, rounds, cwd):
        for _ in range(rounds):
            for name, make_cmd, output in self.tools:
                if output:
                    clear(os.path.join(cwd, output))
                seconds, rss = run_timed(make_cmd(), cwd)
                self.times[name].append(seconds)
                self.rss[name] = max(self.rss[name], rss)
                if output and os.path.isfile(os.path.join(cwd, output)):
                    self.sizes[name] = os.path.getsize(os.path.join(cwd, output))
        for _, _, output in self.tools:
            if output:
                clear(os.path.join(cwd, output))

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
            rows.append(f"| {name} | {t:.2f} | {ratio} | {size_text} | {size_ratio} | "
                        f"{self.rss[name]:.0f} |")
        return "\n".join(rows) + "\n"


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
    def version(cmd):
        try:
            out = subprocess.run(cmd, capture_output=True, text=True).stdout
            return out.strip().splitlines()[0] if out.strip() else "?"
        except OSError:
            return "missing"
    return "\n".join([
        f"- CPU: {cpu}, {os.cpu_count()} cores; memory {mem:.0f} GiB; {platform.platform()}",
        f"- zip: {version(['zip', '-v'])[:60]}; unzip: {version(['unzip', '-v'])[:60]}",
        f"- 7zz: {version(['7zz'])[:70]}",
        f"- bsdtar: {version(['bsdtar', '--version'])}; python {platform.python_version()}",
    ])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with tesk-bench and the engines")
    parser.add_argument("--work", required=True, help="scratch folder for corpus and outputs")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--quick", action="store_true", help="tree only, level 6, one round")
    parser.add_argument("--huge", action="store_true", help="also the 4 GiB memory runs")
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

    rounds = 1 if args.quick else args.rounds
    levels = [6] if args.quick else [6, 9, 3, 0]
    goals = {6: "tesk <= 0.4x zip, faster than every peer; size <= 1.01x zip's",
             9: "tesk <= 0.3x zip, faster than every peer; size <= 1.01x zip's",
             3: "tesk <= 0.5x zip, faster than every peer; size <= 1.01x zip's",
             0: "tesk <= 0.8x zip -0"}
    sections = []

    def bench_section(workload):
        print(f"== {workload.title}", flush=True)
        workload.run(rounds, corpus)
        text = workload.table()
        print(text, flush=True)
        sections.append(text)

    sets = ["tree"] if args.quick else ["tree", "big"]
    for name in sets:
        for level in levels:
            bench_section(Workload(f"Create the {name}, level {level}",
                                   create_tools(bench, name, level), goals[level]))

    for name, goal in (("tree", "tesk <= 0.7x unzip -q"), ("big", "tesk <= 0.5x unzip -q")):
        if name not in sets:
            continue
        archive = os.path.join(work, f"{name}-zip6.zip")
        if not os.path.exists(archive):
            subprocess.run(["zip", "-r", "-q", "-6", archive, name], cwd=corpus, check=True)
        bench_section(Workload(f"Extract the {name} (archive made by zip -6)",
                               extract_tools(bench, archive, corpus), goal))
        bench_section(Workload(f"Test the {name} archive", test_tools(bench, archive),
                               "tesk <= 0.4x unzip -tq"))

    many = os.path.join(work, "many-100000.zip")
    if not os.path.exists(many):
        with zipfile.ZipFile(many, "w") as z:
            for i in range(100000):
                z.writestr(f"d{i // 1000}/f{i}.txt", b"x")
    bench_section(Workload("List an archive of 100,000 entries", list_tools(bench, many),
                           "tesk <= 0.3 s"))

    if args.huge:
        huge_dir = os.path.join(corpus, "huge")
        os.makedirs(huge_dir, exist_ok=True)
        huge = os.path.join(huge_dir, "4gib.bin")
        if not os.path.exists(huge):
            chunk = open(os.path.join(corpus, "big", "records.bin"), "rb").read(256 << 20)
            with open(huge, "wb") as f:
                for _ in range(16):
                    f.write(chunk)
        bench_section(Workload("Create one 4 GiB file, level 6",
                               create_tools(bench, "huge", 6)[:2], "peak RSS <= 300 MB"))
        archive = os.path.join(work, "huge-tesk6.zip")
        subprocess.run([bench, "create", archive, huge_dir, "6"], check=True)
        bench_section(Workload("Extract one 4 GiB file",
                               extract_tools(bench, archive, corpus)[:2], "peak RSS <= 300 MB"))

    with open(args.out, "w") as f:
        f.write("# Benchmark results\n\n")
        f.write(f"Measured {time.strftime('%Y-%m-%d')} by `make bench` "
                f"({rounds} rounds, tools taking turns, medians).\n\n")
        f.write(machine() + "\n\n")
        f.write("Ratios below 1 mean Tesk took less time than that tool.\n\n")
        f.write("\n".join(sections))
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
