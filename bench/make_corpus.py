#!/usr/bin/env python3
"""Deterministic benchmark corpus, made without any network.

  tree/  about 25,000 files (about 200 MB) in nested folders: mostly source-like text,
         some binaries of mixed compressibility, some empty and tiny files.
  big/   a few files of about 1 GB in all: text, a semi-compressible binary, random bytes.

Usage: make_corpus.py OUT_DIR [--tree-only | --big-only] [--scale F]
The same arguments always give byte-identical files.
"""
import argparse
import os
import random

WORDS = ("int char void return static const struct if else for while switch case break "
         "size_t uint32_t std string vector buffer length count index entry archive file "
         "name path folder result error status options reader writer stream block offset "
         "header central local method level crc32 deflate inflate compress extract list "
         "update delete append freshen password comment message print service callback "
         "thread worker queue mutex lock wait notify begin end first last next prev data").split()


def make_lines(rng, count):
    """A pool of source-like lines that text files are built from."""
    lines = []
    for _ in range(count):
        indent = " " * (4 * rng.randint(0, 3))
        kind = rng.random()
        words = [rng.choice(WORDS) for _ in range(rng.randint(2, 9))]
        if kind < 0.15:
            line = indent + "// " + " ".join(words).capitalize() + "."
        elif kind < 0.3:
            line = indent + "if (" + words[0] + " == " + words[1] + ") {"
        elif kind < 0.4:
            line = indent + "}"
        elif kind < 0.5:
            line = ""
        else:
            line = (indent + words[0] + " " + "_".join(words[1:3]) + " = " +
                    words[-1] + "(" + ", ".join(words[3:]) + ");")
        lines.append(line)
    return lines


def text_bytes(rng, pool, size):
    out = []
    total = 0
    while total < size:
        start = rng.randrange(len(pool))
        chunk = pool[start:start + rng.randint(5, 40)]
        piece = "\n".join(chunk) + "\n"
        out.append(piece)
        total += len(piece)
    return "".join(out).encode()[:size]


def binary_bytes(rng, size):
    """Structured binary: runs of repeated records mixed with noise (compresses ~2:1)."""
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.5:
            record = rng.randbytes(rng.randint(8, 64))
            out += record * rng.randint(2, 30)
        else:
            out += rng.randbytes(rng.randint(64, 4096))
    return bytes(out[:size])


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree(out, scale):
    rng = random.Random(20261206)
    pool = make_lines(rng, 50000)
    folders = ["tree"]
    for i in range(int(900 * scale)):
        parent = rng.choice(folders)
        if parent.count("/") < 6:
            folders.append(f"{parent}/{rng.choice(WORDS)}_{i}")
    files = int(25000 * scale)
    for i in range(files):
        folder = rng.choice(folders)
        r = rng.random()
        if r < 0.80:
            size = int(rng.lognormvariate(8.3, 1.1))  # median ~4 KB of text
            name, data = f"{rng.choice(WORDS)}_{i}.c", text_bytes(rng, pool, size)
        elif r < 0.93:
            size = int(rng.lognormvariate(8.8, 1.0))
            name, data = f"{rng.choice(WORDS)}_{i}.bin", binary_bytes(rng, size)
        elif r < 0.98:
            size = int(rng.lognormvariate(9.2, 1.0))
            name, data = f"{rng.choice(WORDS)}_{i}.jpg", rng.randbytes(size)
        else:
            name, data = f"{rng.choice(WORDS)}_{i}.txt", text_bytes(rng, pool, rng.randint(0, 40))
        write(os.path.join(out, folder, name), data)


def make_big(out, scale):
    rng = random.Random(19991231)
    pool = make_lines(rng, 50000)
    mib = 1 << 20
    parts = [("big/sources.txt", 420, lambda n: text_bytes(rng, pool, n)),
             ("big/records.bin", 330, lambda n: binary_bytes(rng, n)),
             ("big/noise.dat", 250, lambda n: rng.randbytes(n))]
    for name, size_mib, make in parts:
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            for _ in range(max(1, int(size_mib * scale))):
                f.write(make(mib))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--tree-only", action="store_true")
    parser.add_argument("--big-only", action="store_true")
    parser.add_argument("--scale", type=float, default=1.0)
    args = parser.parse_args()
    if not args.big_only:
        make_tree(args.out, args.scale)
    if not args.tree_only:
        make_big(args.out, args.scale)


if __name__ == "__main__":
    main()
