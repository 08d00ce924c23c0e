#!/usr/bin/env python3
"""Decode speed and peak memory per compression method: Tesk's unzip engine beside 7zz
extracting the same archive. Writes (or replaces) its own section of bench/RESULTS.md.

Usage: bench_methods.py --bin BUILD_BIN --work DIR [--size-mb 150] [--huge-mb 1024]
                        [--rounds 3] [--no-huge]

The entry is a concatenation of real files (python's library, documentation, programs and
libraries of this system). Archives are made by 7zz at its default level, Zstandard ones by
the test helper zstd_zip (libzstd level 9, stored by libzip); the huge entries for the memory
runs by 7zz -mx1 to keep their making short. Tools take turns; times are medians.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SECTION = "## Compression methods (bench_methods.py)"
ROOTS = ["/usr/lib/python3.11", "/usr/share/doc", "/usr/bin", "/usr/lib/x86_64-linux-gnu"]
METHODS = ["Deflate", "Deflate64", "BZip2", "LZMA", "XZ", "Zstandard"]
MEMORY_GOAL_MB = 300


def make_corpus(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    with open(path, "wb") as out:
        written = 0
        while written < size:
            for root in ROOTS:
                for folder, dirs, files in os.walk(root):
                    dirs.sort()
                    for name in sorted(files):
                        p = os.path.join(folder, name)
                        if os.path.islink(p) or not os.path.isfile(p):
                            continue
                        try:
                            with open(p, "rb") as f:
                                data = f.read(size - written)
                        except OSError:
                            continue
                        out.write(data)
                        written += len(data)
                        if written >= size:
                            return


def make_archive(method, corpus, zip_path, fast, bin_dir):
    if os.path.exists(zip_path):
        os.remove(zip_path)
    folder, name = os.path.split(corpus)
    if method == "Zstandard":
        cmd = [os.path.join(bin_dir, "zstd_zip"), zip_path, "none", "-", name]
    else:
        cmd = ["7zz", "a", "-tzip", f"-mm={method}"] + (["-mx1"] if fast else []) + [zip_path, name]
    subprocess.run(cmd, cwd=folder, check=True, stdout=subprocess.DEVNULL)


def timed(cmd, stats):
    """Runs cmd under GNU time, its figures going to the file stats: (seconds, peak RSS MB)."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", stats] + cmd,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed: {proc.stderr.decode()[-400:]}")
    with open(stats) as f:
        rss = int(f.read().split()[-1]) / 1024
    os.remove(stats)
    return seconds, rss


def extract(tool, zip_path, out, bin_dir):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    stats = out + ".time"
    if tool == "tesk":
        return timed([os.path.join(bin_dir, "tesk-bench"), "extract", zip_path, out], stats)
    return timed(["7zz", "x", "-y", "-o" + out, zip_path], stats)


def same(a, b):
    return subprocess.run(["cmp", "-s", a, b]).returncode == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--size-mb", type=int, default=150)
    parser.add_argument("--huge-mb", type=int, default=1024)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--no-huge", action="store_true")
    parser.add_argument("--out", default=os.path.join(HERE, "RESULTS.md"))
    args = parser.parse_args()
    bin_dir, work = os.path.abspath(args.bin), os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    out = os.path.join(work, "out")

    size = args.size_mb << 20
    corpus = os.path.join(work, "entry.bin")
    make_corpus(corpus, size)
    speed = []
    for method in METHODS:
        zip_path = os.path.join(work, f"{method}.zip")
        make_archive(method, corpus, zip_path, False, bin_dir)
        times = {"tesk": [], "7zz": []}
        for _ in range(args.rounds):
            for tool in times:
                seconds, _ = extract(tool, zip_path, out, bin_dir)
                times[tool].append(seconds)
                if not same(corpus, os.path.join(out, "entry.bin")):
                    raise RuntimeError(f"{tool} extracted {method} wrongly")
        speed.append((method, os.path.getsize(zip_path), {t: statistics.median(v) for t, v in times.items()}))
        os.remove(zip_path)
        print(method, speed[-1], flush=True)

    memory = []
    if not args.no_huge:
        huge = os.path.join(work, "huge.bin")
        make_corpus(huge, args.huge_mb << 20)
        for method in METHODS:
            zip_path = os.path.join(work, f"huge-{method}.zip")
            make_archive(method, huge, zip_path, True, bin_dir)
            rss = {}
            for tool in ("tesk", "7zz"):
                _, rss[tool] = extract(tool, zip_path, out, bin_dir)
            if not same(huge, os.path.join(out, "huge.bin")):
                raise RuntimeError(f"7zz or tesk extracted the huge {method} entry wrongly")
            memory.append((method, os.path.getsize(zip_path), rss))
            os.remove(zip_path)
            print(method, memory[-1], flush=True)
        os.remove(huge)
    shutil.rmtree(out, ignore_errors=True)
    write_section(args, speed, memory)


def write_section(args, speed, memory):
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    mb = 1 << 20
    lines = [SECTION, "",
             f"Measured {time.strftime('%Y-%m-%d')} by `python3 bench/bench_methods.py --bin build/bin "
             f"--work bench/work` (rounds: {args.rounds}, tools taking turns, medians). One entry "
             f"of {args.size_mb} MiB of real files (python's library, documentation, programs), "
             "archived by 7zz at its default level (Zstandard: libzstd level 9); Tesk extracts "
             "through `tesk-bench extract`, the peer is `7zz x`, both writing the file. The machine "
             f"(2 cores) was shared with other work: load average {load} when written.", "",
             "| method | archive MiB | tesk s | tesk MB/s | 7zz s | 7zz MB/s | tesk / 7zz |",
             "|---|---:|---:|---:|---:|---:|---:|"]
    for method, packed, t in speed:
        size = args.size_mb * mb
        lines.append(f"| {method} | {packed / mb:.1f} | {t['tesk']:.2f} | {size / t['tesk'] / 1e6:.0f} | "
                     f"{t['7zz']:.2f} | {size / t['7zz'] / 1e6:.0f} | {t['tesk'] / t['7zz']:.2f} |")
    if memory:
        worst = max(r["tesk"] for _, _, r in memory)
        lines += ["", f"Peak memory (maximum resident set size) extracting one {args.huge_mb} MiB entry "
                  "(archives by 7zz -mx1; Zstandard level 9). Goal: under "
                  f"{MEMORY_GOAL_MB} MB for every method: "
                  f"**{'met' if worst < MEMORY_GOAL_MB else 'not met'}** (largest {worst:.0f} MB).", "",
                  "| method | archive MiB | tesk peak RSS MB | 7zz peak RSS MB |",
                  "|---|---:|---:|---:|"]
        for method, packed, rss in memory:
            lines.append(f"| {method} | {packed / mb:.0f} | {rss['tesk']:.0f} | {rss['7zz']:.0f} |")
    section = "\n".join(lines) + "\n"
    text = open(args.out).read() if os.path.exists(args.out) else "# Benchmark results\n"
    start = text.find(SECTION)
    if start >= 0:
        end = text.find("\n## ", start + len(SECTION))
        text = text[:start] + section + (text[end + 1:] if end >= 0 else "")
    else:
        text = text.rstrip("\n") + "\n\n" + section
    with open(args.out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
