#!/usr/bin/env python3
"""Writes the hostile-archive test set, byte by byte, into a folder.

Usage: make_hostile.py FOLDER [CASE...]   (default: every case, and the damaged copies)

Every archive is named after its case (FOLDER/<case>.zip; "fifo" is a FIFO of that name); the families of damaged copies
(case "damaged") are FOLDER/truncated-NN.zip and FOLDER/holed-NN.zip. FOLDER/impostor.txt holds a wrong
password that passes the traditional encryption's check byte of pw-impostor.zip.
The test that runs this script knows what each case must give.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

DOS_TIME, DOS_DATE = 0x5000, 0x50B1  # 2020-05-17 10:00
UNIX = 3


# Traditional PKWARE encryption: the key schedule and the stream cipher.
CRC_TABLE = []
for n in range(256):
    c = n
    for _ in range(8):
        c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
    CRC_TABLE.append(c)


class ZipCrypto:
    def __init__(self, password):
        self.keys = [0x12345678, 0x23456789, 0x34567890]
        for b in password:
            self.update(b)

    def update(self, byte):
        k = self.keys
        k[0] = (k[0] >> 8) ^ CRC_TABLE[(k[0] ^ byte) & 0xFF]
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = (k[2] >> 8) ^ CRC_TABLE[(k[2] ^ (k[1] >> 24)) & 0xFF]

    def stream_byte(self):
        t = (self.keys[2] | 2) & 0xFFFF
        return ((t * (t ^ 1)) >> 8) & 0xFF

    def encrypt(self, data):
        out = bytearray()
        for b in data:
            out.append(b ^ self.stream_byte())
            self.update(b)
        return bytes(out)

    def decrypt(self, data):
        out = bytearray()
        for b in data:
            p = b ^ self.stream_byte()
            self.update(p)
            out.append(p)
        return bytes(out)


def encrypt_entry(password, crc, payload):
    header = bytes((i * 37 + 11) & 0xFF for i in range(11)) + bytes([crc >> 24])
    return ZipCrypto(password).encrypt(header + payload)


def find_impostor(password, crc, payload):
    """A wrong password whose decrypted header ends in the right check byte."""
    encrypted = encrypt_entry(password, crc, payload)
    for i in range(1000000):
        candidate = b'guess%d' % i
        if candidate != password and ZipCrypto(candidate).decrypt(encrypted[:12])[11] == crc >> 24:
            return candidate
    raise RuntimeError('no impostor found')


def aes_payload(plain, password):
    """(salt, verifier, ciphertext and authentication code; the AES field) of plain stored
    with AES-256 by 7zz, the independent writer."""
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, 'victim.txt'), 'wb') as f:
            f.write(plain)
        subprocess.run(['7zz', 'a', '-tzip', '-mem=AES256', '-mm=Copy', '-p' + password, 'a.zip',
                        'victim.txt'], cwd=tmp, check=True, stdout=subprocess.DEVNULL)
        path = os.path.join(tmp, 'a.zip')
        info = zipfile.ZipFile(path).infolist()[0]
        with open(path, 'rb') as f:
            data = f.read()
    at = info.header_offset
    name_length, extra_length = struct.unpack('<HH', data[at + 26:at + 30])
    extra = data[at + 30 + name_length:at + 30 + name_length + extra_length]
    start = at + 30 + name_length + extra_length
    field = extra[extra.index(struct.pack('<H', 0x9901)):][:11]
    return data[start:start + info.compress_size], field


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def entry(name, data=b'', **kw):
    """One entry. name, data: bytes. Keywords: method (0 or 8, or any number with packed
    bytes), packed (the stored bytes as they are), crc, size (declared), flags, mode (Unix
    type and bits), link (target: a symbolic link), extra (central and local), password,
    local (dict of local-header overrides: name, method, crc, flags), at (index of an
    earlier entry whose local header this one points at), offset (where its local header
    lies, written by someone else: no header of its own), zip64 (declared size and offset
    go into a zip64 field; a dict may override size, offset or the field's bytes), host
    (the "made by" system, default Unix), attrs (the whole external attributes)."""
    e = dict(name=name, data=data)
    e.update(kw)
    return e


def write(path, entries, eocd=None, zip64_end=None, prefix=b''):
    out = bytearray(prefix)
    central = bytearray()
    offsets = []
    for e in entries:
        data = e['data']
        if 'link' in e:
            data = e['link']
            e.setdefault('mode', 0o120777)
        method = e.get('method', 8 if len(data) > 0 else 0)
        crc = e.get('crc', zlib.crc32(data))
        packed = e.get('packed', deflate(data) if method == 8 else data)
        flags = e.get('flags', 0)
        if 'password' in e:
            packed = encrypt_entry(e['password'], crc, packed)
            flags |= 1
        if any(b >= 0x80 for b in e['name']) and 'flags' not in e and 'host' not in e:
            flags |= 0x800
        size = e.get('size', len(data))
        extra = e.get('extra', b'')
        csize, usize, offset_field = len(packed), size, None
        local = e.get('local', {})
        if 'at' in e:
            offset = offsets[e['at']]
        elif 'offset' in e:
            offset = e['offset']
        else:
            offset = len(out) - len(prefix)
            lname = local.get('name', e['name'])
            out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, local.get('flags', flags),
                               local.get('method', method), DOS_TIME, DOS_DATE,
                               local.get('crc', crc), csize if 'zip64' not in e else 0xFFFFFFFF,
                               usize if 'zip64' not in e else 0xFFFFFFFF, len(lname),
                               len(local.get('extra', extra)))
            out += lname + local.get('extra', extra) + packed
        offsets.append(offset)
        cextra = extra
        if 'zip64' in e:
            z = e['zip64'] if isinstance(e['zip64'], dict) else {}
            cextra = z.get('field', struct.pack('<HHQQQ', 1, 24, z.get('size', usize), csize,
                                                z.get('offset', offset))) + extra
            csize = usize = offset_field = 0xFFFFFFFF
        attrs = e.get('attrs', e.get('mode', 0o100644) << 16)
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, (e.get('host', UNIX) << 8) | 45, 45,
                               flags, method, DOS_TIME, DOS_DATE, crc, csize, usize, len(e['name']),
                               len(cextra), 0, 0, 0, attrs,
                               offset if offset_field is None else offset_field)
        central += e['name'] + cextra
    cd_offset = len(out) - len(prefix)
    out += central
    if zip64_end is not None:
        z = dict(entries=len(entries), size=len(central), offset=cd_offset)
        z.update(zip64_end)
        record = len(out) - len(prefix)
        out += struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, z['entries'],
                           z['entries'], z['size'], z['offset'])
        out += struct.pack('<IIQI', 0x07064b50, 0, z.get('locator', record), 1)
    end = dict(count=len(entries), size=len(central), offset=cd_offset, comment=b'',
               comment_length=None, disk=0)
    end.update(eocd or {})
    comment_length = len(end['comment']) if end['comment_length'] is None else end['comment_length']
    out += struct.pack('<IHHHHIIH', 0x06054b50, end['disk'], end['disk'], end['count'], end['count'],
                       end['size'], end['offset'], comment_length) + end['comment']
    with open(path, 'wb') as f:
        f.write(out)
    return bytes(out)


def unicode_path_field(raw_name, path):
    body = struct.pack('<BI', 1, zlib.crc32(raw_name)) + path
    return struct.pack('<HH', 0x7075, len(body)) + body


def cases(folder):
    """(case name, a function giving the entries and the keywords for write)."""
    good = entry(b'good.txt', b'good')
    text = b'the quick brown fox jumps over the lazy dog\n' * 50
    absolute = os.path.join(os.path.abspath(folder), 'abs-escape.txt').encode()
    yield 'trav-parent', lambda: ([entry(b'../up.txt', b'x'), entry(b'docs/../../deep.txt', b'x'), good], {})
    yield 'trav-absolute', lambda: ([entry(absolute, b'x'), entry(b'/etc/tesk-hostile', b'x'), good], {})
    yield 'trav-drive', lambda: ([entry(b'C:\\drive.txt', b'x'), entry(b'c:/x.txt', b'x'),
                         entry(b'D:rel.txt', b'x'), good], {})
    yield 'trav-backslash', lambda: ([entry(b'..\\back.txt', b'x'), entry(b'a\\..\\..\\b.txt', b'x'),
                             entry(b'\\root.txt', b'x'), good], {})
    yield 'trav-unicode-field', lambda: ([
        entry(b'safe.txt', b'x', extra=unicode_path_field(b'safe.txt', b'../escape.txt')),
        entry(b'also.txt', b'x', extra=unicode_path_field(b'also.txt', b'ok/../../escape.txt')),
        entry(b'caf\x82.txt', b'benign', flags=0,
              extra=unicode_path_field(b'caf\x82.txt', 'caf\u00e9-field.txt'.encode())),
        good], {})
    yield 'link-out', lambda: ([entry(b'abs', link=absolute), entry(b'docs/up', link=b'../../outside'),
                       entry(b'docs/sneaky', link=b'sub/../..'), entry(b'docs/ok', link=b'../good.txt'),
                       good], {})
    yield 'link-write-through', lambda: ([entry(b'docs/a.txt', b'alpha'), entry(b'alias', link=b'docs'),
                                 entry(b'alias/through.txt', b'through'),
                                 entry(b'up', link=b'..'), entry(b'up/pwned.txt', b'pwned')], {})
    yield 'link-chain', lambda: ([entry(b'sub/l1', link=b'../l2'), entry(b'l2', link=b'sub/l3'),
                         entry(b'sub/l3', link=b'../../outside'), entry(b'c1', link=b'c2'),
                         entry(b'c2', link=b'c1'), entry(b'sub/l3/x.txt', b'x')], {})
    yield 'existing-links', lambda: ([entry(b'data/x.txt', b'through a link'), entry(b'link.txt', b'new'),
                             entry(b'hard.txt', b'new')], {})
    yield 'name-controls', lambda: ([entry(b'nul\x00name.txt', b'1'), entry(b'ctl\x01\x1f\x7f.txt', b'2'),
                            entry(b'tab\tname.txt', b'3'), entry(b'nl\nname.txt', b'4')], {})
    yield 'name-long-part', lambda: ([entry(b'a' * 300 + b'.txt', b'long'), good], {})
    yield 'name-long-path', lambda: ([entry(b'/'.join([b'p' * 60] * 80) + b'/deep.txt', b'deep')], {})
    yield 'name-duplicate', lambda: ([entry(b'a.txt', b'first'), entry(b'a.txt', b'second'),
                             entry(b'./a.txt', b'third')], {})
    yield 'name-case', lambda: ([entry(b'Readme.txt', b'1'), entry(b'README.txt', b'2'),
                        entry(b'readme.TXT', b'3'), entry(b'Dir/x', b'4'), entry(b'dir/x', b'5')], {})
    yield 'name-odd-legal', lambda: ([entry(b'-dash.txt', b'1'), entry(b' lead space.txt', b'2'),
                             entry(b'...', b'3'), entry(b'..foo', b'4'), entry(b'.hidden', b'5'),
                             entry(b'a\\b.txt', b'6'), entry('\u00fcn\u00ef \u2713.txt'.encode(), b'7'),
                             entry(b'./dot/./x.txt', b'8'), entry(b'a//b.txt', b'9'),
                             entry(b'caf\x82.txt', b'10'), entry(b'folder/', b'')], {})
    # Unflagged names: a Unix host's bytes as they are, UTF-8 or not; a DOS host's in CP437.
    yield 'name-unflagged', lambda: ([entry(b'koi8-\xd0\xd2\xc9.txt', b'1', host=UNIX),
                                      entry(b'na\xc3\xafve.txt', b'2', host=UNIX),
                                      entry(b'dos\x82.txt', b'3', host=0, attrs=0x20)], {})
    yield 'name-empty', lambda: ([entry(b'', b'x'), entry(b'./', b''), entry(b'.', b'x'), good], {})
    # inner.txt's local header and data lie inside outer.txt's stored data; twin.txt shares
    # outer.txt's header outright.
    inner = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, DOS_TIME, DOS_DATE, zlib.crc32(text),
                        len(text), len(text), 9, 0) + b'inner.txt' + text
    yield 'bomb-overlap', lambda: ([entry(b'outer.txt', b'pad' + inner, method=0),
                           entry(b'inner.txt', text, method=0, offset=30 + 9 + 3),
                           entry(b'outer.txt', b'pad' + inner, method=0, at=0),
                           entry(b'fine.txt', b'fine')], {})
    yield 'bomb-huge-size', lambda: ([entry(b'huge.bin', b'tiny', method=0, size=1 << 50, zip64={}), good], {})
    zeros = bytes(64 << 20)
    yield 'bomb-lying-size', lambda: ([entry(b'bomb.bin', b'', packed=deflate(zeros), crc=zlib.crc32(zeros),
                                    size=1 << 20, method=8), good], {})
    yield 'bomb-fill', lambda: ([entry(b'fill.bin', zeros)], {})
    yield 'bomb-fill-small', lambda: ([entry(b'fill%d.bin' % i, bytes(900 << 10)) for i in range(8)], {})
    yield 'bomb-many', lambda: ([entry(b'm/%05d' % i, b'%d' % i, method=0) for i in range(5000)], {})
    yield 'corrupt-crc', lambda: ([entry(b'victim.txt', text, crc=zlib.crc32(text) ^ 1),
                          entry(b'stored.txt', text, method=0, crc=1), good], {})
    yield 'corrupt-data', lambda: ([entry(b'victim.txt', text, packed=b'\xff' * 40 + deflate(text)), good], {})
    yield 'corrupt-method', lambda: ([entry(b'victim.txt', text, method=97, packed=text), good], {})
    yield 'corrupt-mismatch', lambda: ([entry(b'victim.txt', text, local={'name': b'other.txt'}),
                               entry(b'method.txt', text, local={'method': 0}),
                               entry(b'crc.txt', text, local={'crc': 7}),
                               entry(b'flags.txt', text, local={'flags': 1}), good], {})
    yield 'corrupt-zip64-short', lambda: ([entry(b'victim.txt', text, zip64={'field': struct.pack('<HHI', 1, 4, 7)}),
                                  good], {})
    yield 'corrupt-zip64-offset', lambda: ([entry(b'victim.txt', text, zip64={'offset': 1 << 40}), good], {})
    yield 'corrupt-zip64-end', lambda: ([good], {'zip64_end': {'entries': 1 << 62, 'size': 1 << 61}})
    yield 'corrupt-zip64-locator', lambda: ([good], {'zip64_end': {'locator': 1 << 50}})
    yield 'corrupt-cd-count', lambda: ([good, entry(b'b.txt', b'b')], {'eocd': {'count': 65535}})
    yield 'corrupt-cd-offset', lambda: ([good], {'eocd': {'offset': 1 << 31}})
    yield 'corrupt-cd-size', lambda: ([good, entry(b'b.txt', b'b')], {'eocd': {'size': 50}})
    yield 'corrupt-comment', lambda: ([good], {'eocd': {'comment': b'note', 'comment_length': 500}})
    yield 'corrupt-cd-count-short', lambda: ([good, entry(b'b.txt', b'b')], {'eocd': {'count': 1}})
    # Not encrypted, yet with an AES field: its CRC still counts.
    aes_field = struct.pack('<HHHHBH', 0x9901, 7, 2, 0x4541, 3, 8)
    yield 'corrupt-aes-field', lambda: ([entry(b'victim.txt', text, crc=zlib.crc32(text) ^ 1, extra=aes_field),
                                good], {})
    # What other readers read: a zip64 end record beside a traditional one of nothing but
    # 0xFF; a last end record whose comment runs past the end, with an archive inside the
    # data before it; folders marked only by the DOS attribute; a DOS name with its UTF-8
    # form in a Unicode path field (local header and directory alike); bsdtar's "./".
    yield 'read-zip64-end', lambda: ([good], {'zip64_end': {}, 'eocd': {
        'disk': 0xFFFF, 'count': 0xFFFF, 'size': 0xFFFFFFFF, 'offset': 0xFFFFFFFF}})

    def decoy():
        inner = os.path.join(folder, 'decoy-inner.zip')
        decoy_bytes = write(inner, [entry(b'good.txt', b'decoy')])
        os.remove(inner)
        return [good, entry(b'inner.zip', decoy_bytes, method=0)], {'eocd': {'comment_length': 300}}
    yield 'read-decoy-end', decoy
    yield 'read-dos-folder', lambda: ([entry(b'def', b'', method=0, host=0, attrs=0x10),
                                       entry(b'def/foo', b'foo', host=0, attrs=0x20)], {})
    dos_name = b'r\x82sum\x82.txt'
    utf8_name = 'r\u00e9sum\u00e9.txt'.encode()
    ansi_name = b'r\xe9sum\xe9-ansi.txt'  # this local header in another code page
    utf8_ansi = 'r\u00e9sum\u00e9-ansi.txt'.encode()
    dos_ansi = b'r\x82sum\x82-ansi.txt'
    yield 'read-unicode-path', lambda: ([
        entry(dos_name, b'cv', host=0, attrs=0x20, extra=unicode_path_field(dos_name, utf8_name)),
        entry(dos_ansi, b'ansi', host=0, attrs=0x20, extra=unicode_path_field(dos_ansi, utf8_ansi),
              local={'name': ansi_name, 'extra': unicode_path_field(ansi_name, utf8_ansi)})], {})
    def over_4gib():
        """4 GiB of zeros and "tail", the size kept in 32 bits only: recorded as 4. One fully
        flushed block of 1 MiB, repeated, makes the deflate stream in a moment."""
        block = zlib.compressobj(9, zlib.DEFLATED, -15)
        chunk = block.compress(bytes(1 << 20)) + block.flush(zlib.Z_FULL_FLUSH)
        packed = chunk * 4096 + deflate(b'tail')
        zeros, crc = bytes(1 << 24), 0
        for _ in range(256):
            crc = zlib.crc32(zeros, crc)
        return [entry(b'big.bin', b'', method=8, packed=packed, size=4, crc=zlib.crc32(b'tail', crc))], {}
    yield 'read-size-over-4gib', over_4gib
    yield 'read-dot-entries', lambda: ([entry(b'./', b'', mode=0o40755), entry(b'.', b'', mode=0o40755),
                                        entry(b'./a.txt', b'a')], {})
    pw = b'secret'
    yield 'pw-protected', lambda: ([entry(b'victim.txt', text, password=pw),
                           entry(b'stored.txt', b'stored secret text', method=0, password=pw)], {})
    plain = b'stored secret text'

    def impostor():
        with open(os.path.join(folder, 'impostor.txt'), 'wb') as f:
            f.write(find_impostor(pw, zlib.crc32(plain), plain))
        return [entry(b'victim.txt', plain, method=0, password=pw)], {}
    yield 'pw-impostor', impostor

    # AES data damaged after the password verifier: the authentication code, the ciphertext,
    # or data shorter than salt, verifier and code together.
    def aes_damaged(change):
        def make():
            payload, field = aes_payload(plain, 'Secret1')
            return [entry(b'victim.txt', plain, method=99, flags=1, crc=0, extra=field,
                          packed=change(bytearray(payload)))], {}
        return make

    def flip(at):
        def change(payload):
            payload[at] ^= 1
            return bytes(payload)
        return change
    yield 'pw-aes-code', aes_damaged(flip(-1))
    yield 'pw-aes-data', aes_damaged(flip(16 + 2 + 3))
    yield 'pw-aes-short', aes_damaged(lambda payload: bytes(payload[:27]))
    # Flagged for strong encryption, which nothing here decodes.
    yield 'pw-strong', lambda: ([entry(b'victim.txt', text, password=pw, flags=0x41), good], {})


def damaged_copies(folder):
    """Cuts of a regular archive at many points, and copies with a piece taken out of the
    middle (the end record kept)."""
    text = b'a line of text that repeats\n' * 200
    whole = write(os.path.join(folder, 'whole.zip'),
                  [entry(b'victim.txt', text), entry(b'dir/b.txt', text[:500], method=0),
                   entry(b'c.txt', b'c')])
    os.remove(os.path.join(folder, 'whole.zip'))
    step = max(1, len(whole) // 40)
    cuts = sorted(set(list(range(1, len(whole), step)) + [len(whole) - 1, len(whole) - 21, len(whole) - 22]))
    for i, cut in enumerate(cuts):
        with open(os.path.join(folder, 'truncated-%02d.zip' % i), 'wb') as f:
            f.write(whole[:cut])
    for i, start in enumerate(range(0, len(whole) - 22, step)):
        with open(os.path.join(folder, 'holed-%02d.zip' % i), 'wb') as f:
            f.write(whole[:start] + whole[start + 17:])


def main():
    folder, wanted = sys.argv[1], set(sys.argv[2:])
    os.makedirs(folder, exist_ok=True)
    for name, make in cases(folder):
        if not wanted or name in wanted:
            entries, options = make()
            write(os.path.join(folder, name + '.zip'), entries, **options)
    if not wanted or 'fifo' in wanted:
        os.mkfifo(os.path.join(folder, 'fifo.zip'))  # opening it to read waits for a writer
    if not wanted or 'damaged' in wanted:
        damaged_copies(folder)


if __name__ == '__main__':
    main()
