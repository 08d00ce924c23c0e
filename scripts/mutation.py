#!/usr/bin/python3
"""Mutation sampler: how many simple faults in the engines and bindings do the tests catch?

Each mutant is one small change to one line of engines/**.cpp, src/unzip/*.cpp or
src/zip/*.cpp: a comparison flipped, && swapped with ||, a constant changed by one, a
statement dropped, or a function made to return early (a condition forced true in front of
a return, a true/false result swapped). The sampler applies one, rebuilds build-mutation,
runs the tests of the libraries the mutated file belongs to (fastest first, stopping at the
first failing test; a time-out counts as caught), restores the file, and goes on.

The candidates are every such change in the sources, shuffled with a fixed seed; the sample
is the first COUNT that compile. A mutant that does not compile is logged and replaced by
the next candidate, so the same sources always give the same sample, whatever the tests.

Usage: scripts/mutation.py [--count N] [--seed S] [--build DIR] [--jobs J] [--again LOG [--match RE]]
--again LOG runs only the mutants of an earlier log.txt whose lines match --match REGEX (by
default the surviving ones; or those a changed test caught), reported in DIR/mutation-again.
Writes DIR/mutation/log.txt (a line per mutant), DIR/mutation/NNN.log (each mutant's diff
and test output) and DIR/mutation/summary.txt (figures and the surviving mutants).
"""
import argparse
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROOTS = ["engines", "src/unzip", "src/zip"]

# Test executables (relative to the build folder) for each source area, fastest first.
COMMON = "bin/engine_common_tests"
UNZIP = "bin/unzip_engine_tests"
ZIP = "bin/zip_engine_tests"
HOSTILE = "bin/hostile_tests"
BINDINGS = "tests/bindings/bindings_tests"
NOENGINE = "tests/noengine/missing_engine_tests"
TESTS_FOR = [
    ("engines/common/", [COMMON, UNZIP, HOSTILE, ZIP]),
    ("engines/unzip/", [UNZIP, HOSTILE]),
    ("engines/zip/", [ZIP]),
    ("src/unzip/", [NOENGINE, BINDINGS, HOSTILE]),
    ("src/zip/", [NOENGINE, BINDINGS]),
]

COMPARISONS = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">"}
CMP_RE = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")
LOGIC_RE = re.compile(r"(?<=\s)(&&|\|\|)(?=\s)")
INT_RE = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)(?=[uUlL]*(?![\w.']))")
BOOL_RET_RE = re.compile(r"\breturn (true|false);")
IF_RET_RE = re.compile(r"^(\s*if \()(.*)(\)\s*return\b.*;\s*)$")
STRING_RE = re.compile(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'')


def sources():
    files = []
    for root in ROOTS:
        for d, _, names in os.walk(os.path.join(TOP, root)):
            files += [os.path.relpath(os.path.join(d, n), TOP) for n in names
                      if n.endswith(".cpp")]
    return sorted(files)


def code_part(line):
    """The line up to a // comment, with string and character literals blanked out."""
    masked = STRING_RE.sub(lambda m: '"' + " " * (len(m.group()) - 2) + '"', line)
    cut = masked.find("//")
    return masked if cut < 0 else masked[:cut]


def candidates_in(path, lines):
    out = []  # (path, line index, kind, new line)
    in_block = False
    prev = ""
    for i, line in enumerate(lines):
        s = line.strip()
        if in_block:
            in_block = "*/" not in s
            continue
        if s.startswith("/*"):
            in_block = "*/" not in s
            continue
        if not s or s.startswith(("//", "#", "*")) or "static_assert" in s:
            prev = s or prev
            continue
        code = code_part(line)

        def sub(m, new, kind):
            out.append((path, i, kind, line[:m.start()] + new + line[m.end():]))

        for m in CMP_RE.finditer(code):
            sub(m, COMPARISONS[m.group()], "flip")
        for m in LOGIC_RE.finditer(code):
            sub(m, "||" if m.group() == "&&" else "&&", "logic")
        if not re.match(r"\s*(case\b|template\b|enum\b)", code) and "[" not in code:
            for m in INT_RE.finditer(code):
                v = m.group()
                n = int(v, 16 if v[:2].lower() == "0x" else 10) + 1
                sub(m, hex(n) if v[:2].lower() == "0x" else str(n), "const")
        for m in BOOL_RET_RE.finditer(code):
            sub(m, "return %s;" % ("false" if m.group(1) == "true" else "true"), "return")
        m = IF_RET_RE.match(code)
        if m and code.count("(") == code.count(")"):
            out.append((path, i, "return", m.group(1) + "true" + line[len(m.group(1)) + len(m.group(2)):]))
        # A whole simple statement on one line, not the body of a brace-less if/else/for.
        if (code.rstrip().endswith(";") and not s.startswith(("return", "}", "case", "default"))
                and code.count("(") == code.count(")") and not prev.endswith((")", "else", ",", "(", "=", "&&", "||", "?", ":", "<<", "+"))
                and not re.match(r"\s*(using|namespace|class|struct|enum|friend|typedef|extern|static_assert)\b", code)):
            out.append((path, i, "drop", ""))
        prev = s
    return out


def all_candidates():
    out = []
    for path in sources():
        with open(os.path.join(TOP, path), encoding="utf-8") as f:
            lines = f.read().split("\n")
        out += candidates_in(path, lines)
    return out


RUNNING = []  # the child being waited for, killed with its group when the sampler is stopped


def run(cmd, timeout=None, cwd=None):
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         start_new_session=True)
    RUNNING[:] = [p]
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out.decode(errors="replace"), False
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        return None, out.decode(errors="replace"), True
    finally:
        RUNNING[:] = []


def configure(build, jobs):
    env_flags = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    rc, out, _ = run(["cmake", "-S", TOP, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                      "-DTESK_BUILD_GUI=OFF"] + env_flags)
    if rc != 0:
        sys.exit("configure failed:\n" + out)


def build_all(build, jobs):
    rc, out, _ = run(["cmake", "--build", build, "-j", str(jobs)])
    return rc == 0, out


def tests_for(path):
    for prefix, tests in TESTS_FOR:
        if path.startswith(prefix):
            return tests
    return []


def run_tests(build, tests, limits):
    """Runs the tests until one fails: (caught, why, output)."""
    for exe in tests:
        rc, out, timed_out = run([os.path.join(build, exe), "--gtest_fail_fast", "--gtest_brief=1"],
                                 timeout=limits[exe], cwd=os.path.dirname(os.path.join(build, exe)))
        if timed_out:
            return True, "%s timed out" % os.path.basename(exe), out
        if rc != 0:
            failed = re.findall(r"^\[  FAILED  \] (\S+)", out, re.M)
            why = failed[0] if failed else "exit %s" % rc
            return True, "%s: %s" % (os.path.basename(exe), why), out
    return False, "survived", ""


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--count", type=int, default=70)
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--build", default=os.path.join(TOP, "build-mutation"))
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--again", help="a log.txt: run only the mutants of its lines that match --match")
    ap.add_argument("--match", default="SURVIVED", help="with --again: which lines (a regex)")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    report = os.path.join(build, "mutation-again" if args.again else "mutation")
    os.makedirs(report, exist_ok=True)
    os.environ.setdefault("CCACHE_BASEDIR", TOP)

    cands = all_candidates()
    random.Random(args.seed).shuffle(cands)
    if args.again:
        with open(args.again, encoding="utf-8") as f:
            wanted = [m.groups()[1:] for m in re.finditer(r"^(\d+ \w+ +(\S+)\s+(\w+): .*  ->  (.*)  \[.*)$", f.read(), re.M)
                      if re.search(args.match, m.group(1))]
        cands = [c for c in cands for w in wanted
                 if (w[0], w[1], w[2]) == ("%s:%d" % (c[0], c[1] + 1), c[2], c[3].strip() or "(dropped)")]
        args.count = len(cands)
    print("%d candidate mutants; sampling %d with seed %d" % (len(cands), args.count, args.seed),
          flush=True)

    current = {"path": None, "text": None}

    def restore():
        if current["path"]:
            with open(current["path"], "w", encoding="utf-8") as f:
                f.write(current["text"])
            current["path"] = None

    def on_signal(signum, _frame):
        for p in RUNNING:
            os.killpg(p.pid, signal.SIGKILL)
        restore()
        sys.exit(128 + signum)

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    configure(build, args.jobs)
    ok, out = build_all(build, args.jobs)
    if not ok:
        sys.exit("the unchanged tree does not build:\n" + out[-4000:])
    limits = {}
    for exe in [COMMON, UNZIP, ZIP, HOSTILE, BINDINGS, NOENGINE]:
        t0 = time.time()
        rc, out, _ = run([os.path.join(build, exe), "--gtest_brief=1"],
                         cwd=os.path.dirname(os.path.join(build, exe)))
        if rc != 0:
            sys.exit("the tests fail on the unchanged tree (%s):\n%s" % (exe, out[-4000:]))
        limits[exe] = 3 * (time.time() - t0) + 30

    log = open(os.path.join(report, "log.txt"), "w", encoding="utf-8")
    caught, survivors, discarded, n, ids = 0, [], 0, 0, []
    started = time.time()
    for path, i, kind, new in cands:
        if n >= args.count:
            break
        full = os.path.join(TOP, path)
        with open(full, encoding="utf-8") as f:
            text = f.read()
        lines = text.split("\n")
        old = lines[i]
        lines[i] = new
        where = "%s:%d" % (path, i + 1)
        change = "%s: %s  ->  %s" % (kind, old.strip(), new.strip() or "(dropped)")
        current.update(path=full, text=text)
        with open(full, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        try:
            ok, bout = build_all(build, args.jobs)
            if not ok:
                discarded += 1
                log.write("discarded (does not compile) %s %s\n" % (where, change))
                log.flush()
                continue
            n += 1
            ids.append(where + " " + change)
            t0 = time.time()
            hit, why, tout = run_tests(build, tests_for(path), limits)
        finally:
            restore()
        caught += hit
        if not hit:
            survivors.append((where, change))
        line = "%03d %-8s %-45s %s  [%s, %.0fs]" % (n, "caught" if hit else "SURVIVED", where,
                                                  change, why, time.time() - t0)
        log.write(line + "\n")
        log.flush()
        print(line, flush=True)
        with open(os.path.join(report, "%03d.log" % n), "w", encoding="utf-8") as f:
            f.write("%s\n%s\n-%s\n+%s\n\n%s\n" % (where, why, old, new, tout[-6000:]))

    ok, _ = build_all(build, args.jobs)  # leave the build as the sources are
    fingerprint = hashlib.sha1("\n".join(ids).encode()).hexdigest()[:12]
    summary = ["Mutation sample: seed %d, %d mutants (sample %s), %d discarded as not compiling"
               % (args.seed, n, fingerprint, discarded),
               "Caught: %d / %d (%.0f%%) in %.0f min" % (caught, n, 100.0 * caught / max(n, 1),
                                                        (time.time() - started) / 60),
               "Surviving mutants:"]
    summary += ["  %s  %s" % s for s in survivors]
    text = "\n".join(summary) + "\n"
    with open(os.path.join(report, "summary.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    print(text)


if __name__ == "__main__":
    main()
