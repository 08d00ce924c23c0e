# Archives and source trees for the unzip engine tests, made at test time.
#
# make() writes a regular archive with zipfile; raw() writes entries byte by byte so a test
# can give the headers any value, including the hostile and inconsistent ones no archiver
# writes; peer() has an archiver write one; deflate64() hand-makes streams. Run as a
# program, it archives the current folder: zipcraft.py OUT METHOD [zip64].
import os
import random
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '../../hostile'))
from make_hostile import write  # noqa: E402 (the hostile set's byte-by-byte writer)


# entries: dicts with name, data (str or bytes), and optionally method ('stored'), mode
# (Unix bits, with the type), date ((y, m, d, h, mi, s)) and crc (a wrong CRC, put in both
# headers). prefix: bytes before the archive; cut: bytes cut off its end; count: the entry
# count its end record gives.
def make(path, entries, level=None, prefix=b'', cut=0, count=None):
    with zipfile.ZipFile(path, 'w') as archive:
        for e in entries:
            info = zipfile.ZipInfo(e['name'], e.get('date', (2020, 5, 17, 10, 30, 42)))
            stored = e.get('method') == 'stored'
            info.compress_type = zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED
            if 'mode' in e:
                info.create_system, info.external_attr = 3, e['mode'] << 16
            archive.writestr(info, e.get('data', ''), compresslevel=level)
    with open(path, 'rb') as f:
        data = f.read()
    for e in (e for e in entries if 'crc' in e):
        crc = struct.pack('<I', archive.getinfo(e['name']).CRC)
        assert data.count(crc) == 2
        data = data.replace(crc, struct.pack('<I', e['crc']))
    if count is not None:
        data = data[:-14] + struct.pack('<HH', count, count) + data[-10:]
    with open(path, 'wb') as f:
        f.write(prefix + data[:len(data) - cut])


# entries: dicts with name (bytes), data (bytes), and any keyword of make_hostile.entry;
# stored unless a method is given (the data is then given already compressed).
def raw(path, entries):
    write(path, [{'method': 0, **e} for e in entries])


# Writes files ({name: content}) in a fresh folder and runs command there; {} in it stands
# for the archive.
def peer(path, command, files):
    with tempfile.TemporaryDirectory() as folder:
        for name, content in files.items():
            with open(os.path.join(folder, name), 'w') as f:
                f.write(content)
        subprocess.run(command.format(path), shell=True, cwd=folder, check=True,
                       stdout=subprocess.DEVNULL)


def put(root, name, data, mode=0o644):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    os.chmod(path, mode)


# 'peers': text, binary, empty, dot and UTF-8-named files in nested folders, an empty
# folder and an executable, all at an odd second, and a file from 1965. 'sizes': text and
# noise of the sizes around the encryption and block boundaries. 'methods': text, and
# low-entropy noise whose compressed form spans more than one read chunk.
def tree(root, kind):
    if kind == 'peers':
        put(root, 'readme.txt', b'hello\r\nworld\r\n')
        put(root, 'data/blob.bin', (bytes(i * 7919 % 251 for i in range(251)) * 1200)[:300000])
        put(root, 'data/empty.txt', b'')
        put(root, 'data/deep/er/note.md', b'n' * 70000)
        put(root, 'caf\u00e9/na\u00efve.txt', b'accents')
        put(root, '.env', b'KEY=value\n')
        put(root, 'run.sh', b'#!/bin/sh\necho hi\n', 0o754)
        os.makedirs(os.path.join(root, 'empty'))
        for folder, names, files in os.walk(root):
            for name in [''] + names + files:
                os.utime(os.path.join(folder, name), (1500000001, 1500000001))
        put(root, 'old.txt', b'from 1965')
        os.utime(os.path.join(root, 'old.txt'), (-157766400, -157766400))
    elif kind == 'sizes':
        text = ''.join('line %d of text\n' % i for i in range(30000)).encode()
        noise = random.Random(5).randbytes(300000)
        for size in (0, 1, 19, 20, 4095, 300000):
            put(root, 'text%d' % size, text[:size])
            put(root, 'noise%d' % size, noise[:size])
    else:
        put(root, 'text.txt', ''.join('line %d of the quick brown fox\n' % (i * 7919 % 10007)
                                      for i in range(12000)).encode())
        letters = bytes(b'abcdefghijklmnopqrstuvwxyz012345'[i % 32] for i in range(256))
        put(root, 'big.bin', random.Random(7).randbytes(5 << 19).translate(letters))
        put(root, 'empty.txt', b'')
        put(root, 'one.txt', b'x')
        put(root, 'sub/small.txt', b'small\n')


# Flips a byte in the middle of an entry's stored data.
def flip(path, name):
    info = zipfile.ZipFile(path).getinfo(name)
    with open(path, 'r+b') as f:
        f.seek(info.header_offset + 26)
        n, e = struct.unpack('<HH', f.read(4))
        f.seek(info.header_offset + 30 + n + e + info.compress_size // 2)
        b = f.read(1)[0]
        f.seek(-1, 1)
        f.write(bytes([b ^ 0x55]))


# A Deflate64 stream of one fixed-code block: literals, and matches given as
# ((length symbol, extra, bits), (distance code, extra, bits), length, distance).
def stream(steps):
    bits, out = [1, 1, 0], bytearray()  # the last block, fixed codes

    def put(value, count):  # extra bits go least significant first
        bits.extend((value >> i) & 1 for i in range(count))

    def code(value, count):  # codes go most significant first
        bits.extend((value >> i) & 1 for i in reversed(range(count)))

    def symbol(s):
        if s < 144:
            code(0x30 + s, 8)
        elif s < 256:
            code(0x190 + s - 144, 9)
        elif s < 280:
            code(s - 256, 7)
        else:
            code(0xC0 + s - 280, 8)

    for step in steps:
        if isinstance(step, int):
            symbol(step)
            out.append(step)
            continue
        (length_symbol, extra, count), (distance_code, dextra, dcount), length, distance = step
        symbol(length_symbol)
        put(extra, count)
        code(distance_code, 5)
        put(dextra, dcount)
        for _ in range(length):
            out.append(out[-distance] if distance <= len(out) else 0)
    symbol(256)
    value = sum(bit << i for i, bit in enumerate(bits))
    return value.to_bytes((len(bits) + 7) // 8, 'little'), bytes(out)


# No common archiver writes length code 285 (3 plus 16 extra bits): long.bin has it,
# distance codes 30 and 31, and code 284 reaching 258; before.bin has a distance before the
# start of the output. Flushes leave empty and short stored blocks in flushed.bin; its
# random bytes leave no match long enough for code 285, which deflate reads differently.
def deflate64(path):
    good, output = stream(list(range(256)) + [
        ((285, 65535, 16), (15, 63, 6), 65538, 256),   # 3 + 65535, distance 193 + 63
        ((285, 297, 16), (30, 7231, 14), 300, 40000),  # distance 32769 + 7231
        ord('z'),
        ((284, 31, 5), (31, 16383, 14), 258, 65536)])  # 227 + 31, distance 49153 + 16383
    bad, _ = stream([ord('a'), ((257, 0, 0), (1, 0, 0), 3, 2)])
    noise = bytes((i * 2654435761 >> 13) & 255 for i in range(5000))
    deflater, flushed = zlib.compressobj(1, zlib.DEFLATED, -15), b''
    for piece in (noise[:3], b'', noise[3:40], noise[40:]):
        flushed += deflater.compress(piece) + deflater.flush(zlib.Z_SYNC_FLUSH)
    flushed += deflater.flush()
    raw(path, [{'name': b'flushed.bin', 'data': flushed, 'method': 9, 'size': len(noise),
                'crc': zlib.crc32(noise)},
               {'name': b'long.bin', 'data': good, 'method': 9, 'size': len(output),
                'crc': zlib.crc32(output)},
               {'name': b'before.bin', 'data': bad, 'method': 9, 'size': 4, 'crc': 0}])


# Archives the current folder, folders included; zip64 lowers zipfile's limits so that
# every structure it can write in zip64 form is written so.
def walk(path, method, zip64=None):
    if zip64:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 1000, 1
    with zipfile.ZipFile(path, 'w', getattr(zipfile, method), strict_timestamps=False) as z:
        for folder, _, files in sorted(os.walk('.')):
            if folder != '.':
                z.write(folder, os.path.normpath(folder))
            for name in sorted(files):
                z.write(os.path.join(folder, name), os.path.normpath(os.path.join(folder, name)))


if __name__ == '__main__':
    walk(*sys.argv[1:])
