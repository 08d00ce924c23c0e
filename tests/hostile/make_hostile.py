#!/usr/bin/env python3
# Writes the hostile-archive set, byte by byte, into a folder.
#
# Usage: make_hostile.py FOLDER [CASE...]   (default: every case)
#
# Each "archive" line of cases.txt describes a case's archive, written as FOLDER/<case>.zip;
# "fifo" is a FIFO of that name.
import ast
import functools
import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import zlib

DOS_TIME, DOS_DATE = 0x5000, 0x50B1  # 2020-05-17 10:00
TEXT = b'the quick brown fox jumps over the lazy dog\n' * 50


def deflate(data, end=zlib.Z_FINISH):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush(end)


# The traditional PKWARE encryption of payload behind its 12-byte header: fixed bytes, then
# the check byte (the CRC's high byte). Its keys advance by CRC-32 steps without inversions.
def zipcrypto(password, crc, payload):
    keys, out = [0x12345678, 0x23456789, 0x34567890], bytearray()
    header = bytes((i * 37 + 11) & 0xFF for i in range(11)) + bytes([crc >> 24])
    for i, byte in enumerate(password + header + payload):
        if i >= len(password):  # the password only sets the keys up
            t = (keys[2] | 2) & 0xFFFF
            out.append(byte ^ ((t * (t ^ 1)) >> 8) & 0xFF)
        keys[0] = zlib.crc32(bytes([byte]), keys[0] ^ 0xFFFFFFFF) ^ 0xFFFFFFFF
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = zlib.crc32(bytes([keys[1] >> 24]), keys[2] ^ 0xFFFFFFFF) ^ 0xFFFFFFFF
    return bytes(out)


# The Unicode path field of an entry (or local header) given 'upath'.
def unicode_field(e):
    if 'upath' not in e:
        return b''
    return struct.pack('<HHBI', 0x7075, 5 + len(e['upath']), 1, zlib.crc32(e['name'])) + e['upath']


# One entry. name, data: bytes. Keywords: method (0 or 8, or any number with packed bytes),
# packed (the stored bytes as they are), crc, crc_xor (flipped bits of the true CRC), size
# (declared), flags, mode (Unix type and bits), link (target: a symbolic link), extra (central
# and local), upath (a Unicode path field), password, local (local-header overrides: name,
# method, crc, flags, extra), at (index of an earlier entry whose local header this one points
# at), offset (where its local header lies, written by someone else: no header of its own),
# zip64 (declared size and offset go into a zip64 field; a dict may override size, offset or
# the field's bytes), host (the "made by" system, default Unix), attrs (the whole external
# attributes), csize (the declared compressed size), comment (the entry's comment).
def entry(name, data=b'', **kw):
    return dict(kw, name=name, data=bytes(data) if isinstance(data, int) else data)


# Writes the archive to path (unless None) and returns its bytes. eocd overrides fields of
# the end record (disk, count, size, offset, comment, comment_length); zip64_end adds a zip64
# end record and locator (entries, size, offset, locator overridable).
def write(path, entries, eocd={}, zip64_end=None):
    out, central, offsets = bytearray(), bytearray(), []
    for e in entries:
        data = e.get('link', e['data'])
        method = e.get('method', 8 if data else 0)
        crc = e.get('crc', zlib.crc32(data) ^ e.get('crc_xor', 0))
        packed = e.get('packed', deflate(data) if method == 8 else data)
        flags = e.get('flags', 0x800 if max(e['name'], default=0) > 0x7F and 'host' not in e else 0)
        if 'password' in e:
            packed, flags = zipcrypto(e['password'], crc, packed), flags | 1
        size, extra = e.get('size', len(data)), e.get('extra', b'') + unicode_field(e)
        offset = offsets[e['at']] if 'at' in e else e.get('offset', len(out))
        if 'at' not in e and 'offset' not in e:
            lo = {**e, 'flags': flags, 'method': method, 'crc': crc, **e.get('local', {})}
            lextra = lo.get('extra', b'') + unicode_field(lo)
            sizes = [0xFFFFFFFF] * 2 if 'zip64' in e else [e.get('csize', len(packed)), size]
            out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, lo['flags'], lo['method'], DOS_TIME,
                               DOS_DATE, lo['crc'], *sizes, len(lo['name']), len(lextra))
            out += lo['name'] + lextra + packed
        offsets.append(offset)
        fields = [e.get('csize', len(packed)), size, offset]
        if 'zip64' in e:
            z, fields = e['zip64'], [0xFFFFFFFF] * 3
            extra = z.get('field', struct.pack('<HHQQQ', 1, 24, z.get('size', size), len(packed),
                                               z.get('offset', offset))) + extra
        attrs = e.get('attrs', e.get('mode', 0o120777 if 'link' in e else 0o100644) << 16)
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, e.get('host', 3) << 8 | 45, 45,
                               flags, method, DOS_TIME, DOS_DATE, crc, fields[0], fields[1],
                               len(e['name']), len(extra), len(e.get('comment', b'')), 0, 0,
                               attrs, fields[2]) + e['name'] + extra + e.get('comment', b'')
    at = len(out)
    out += central
    if zip64_end is not None:
        z = {'entries': len(entries), 'size': len(central), 'offset': at, 'locator': len(out),
             **zip64_end}
        # the zip64 end record, then its locator
        out += struct.pack('<IQHHIIQQQQIIQI', 0x06064b50, 44, 45, 45, 0, 0, z['entries'],
                           z['entries'], z['size'], z['offset'], 0x07064b50, 0, z['locator'], 1)
    end = {'disk': 0, 'count': len(entries), 'size': len(central), 'offset': at, 'comment': b'',
           **eocd}
    out += struct.pack('<IHHHHIIH', 0x06054b50, end['disk'], end['disk'], end['count'],
                       end['count'], end['size'], end['offset'],
                       end.get('comment_length', len(end['comment']))) + end['comment']
    if path:
        pathlib.Path(path).write_bytes(out)
    return bytes(out)


# (data, AES extra field) of "stored secret text" stored with AES-256 by 7zz, the
# independent writer: salt, password verifier, ciphertext and authentication code.
@functools.cache
def aes():
    with tempfile.TemporaryDirectory() as tmp:
        pathlib.Path(tmp, 'victim.txt').write_bytes(b'stored secret text')
        subprocess.run(['7zz', 'a', '-tzip', '-mem=AES256', '-mm=Copy', '-pSecret1', 'a.zip',
                        'victim.txt'], cwd=tmp, check=True, stdout=subprocess.DEVNULL)
        data = pathlib.Path(tmp, 'a.zip').read_bytes()
    size, name_length, extra_length = struct.unpack('<I4xHH', data[18:30])
    extra = data[30 + name_length:30 + name_length + extra_length]
    return data[30 + name_length + extra_length:][:size], extra[extra.index(b'\x01\x99'):][:11]


# (case name, a function giving its entries and write's keywords), as cases.txt describes
# them: '$word' stands for one of the values below (in place of the entries: a list of them),
# other text for its UTF-8 bytes.
def cases(folder):
    value = {
        'text': lambda: TEXT,
        'abs': lambda: os.path.join(os.path.abspath(folder), 'abs-escape.txt').encode(),
        'long-part': lambda: b'a' * 300 + b'.txt',
        'long-path': lambda: b'/'.join([b'p' * 60] * 80) + b'/deep.txt',
        # "pad", then the local header and data of inner.txt
        'inner': lambda: b'pad' + write(None, [entry(b'inner.txt', TEXT, method=0)])[:39 + 2200],
        'lines': lambda: b'a line of text that repeats\n' * 200,
        'lines-500': lambda: (b'a line of text that repeats\n' * 200)[:500],
        'junk-text': lambda: b'\xff' * 40 + deflate(TEXT),
        'decoy': lambda: write(None, [entry(b'good.txt', b'decoy')]),
        # 4 GiB of zeros, then "tail": one fully flushed block of 1 MiB of zeros, repeated
        'over-4gib': lambda: deflate(bytes(1 << 20), zlib.Z_FULL_FLUSH) * 4096 + deflate(b'tail'),
        'aes-field': lambda: aes()[1],
        # one bit flipped: in the authentication code; in the ciphertext (after salt and verifier)
        'aes-code': lambda: aes()[0][:-1] + bytes([aes()[0][-1] ^ 1]),
        'aes-data': lambda: aes()[0][:21] + bytes([aes()[0][21] ^ 1]) + aes()[0][22:],
        'aes-short': lambda: aes()[0][:27],
        'many': lambda: [('m/%05d' % i, '%d' % i, {'method': 0}) for i in range(5000)],
    }

    def resolve(v):
        if isinstance(v, dict):
            return {k: resolve(x) for k, x in v.items()}
        if isinstance(v, str):
            return value[v[1:]]() if v.startswith('$') else v.encode()
        return v

    def make(spec):
        listed, options = spec if isinstance(spec, tuple) else (spec, {})
        return [resolve(entry(*t[:2], **dict(*t[2:]))) for t in resolve(listed)], resolve(options)
    lines = pathlib.Path(__file__).with_name('cases.txt').read_text(encoding='utf-8').splitlines()
    for _, name, spec in (line.split(None, 2) for line in lines if line.startswith('archive ')):
        yield name, functools.partial(make, ast.literal_eval(spec))


if __name__ == '__main__':
    folder, wanted = sys.argv[1], set(sys.argv[2:])
    os.makedirs(folder, exist_ok=True)
    for name, make in cases(folder):
        if not wanted or name in wanted:
            entries, options = make()
            write(os.path.join(folder, name + '.zip'), entries, **options)
    if not wanted or 'fifo' in wanted:
        os.mkfifo(os.path.join(folder, 'fifo.zip'))  # opening it to read waits for a writer
