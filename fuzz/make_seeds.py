#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/seeds/<target>/ (run from anywhere).

The unzip targets get small real archives (every method and feature the engine reads) and
every case of the hostile-archive set that is small enough; each method decoder target gets
a few streams of its method; the binding target gets a few byte strings. The output is the same on every run, so the committed seeds can be checked
against it.
"""
import io
import lzma
import os
import shutil
import struct
import sys
import subprocess
import tempfile
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'hostile'))
import make_hostile  # noqa: E402

LARGEST = 16 << 10
WHEN = (2021, 3, 4, 5, 6, 8)


def archive(entries, **kw):
    """entries: (name, data, options) with options: stored, method, mode, link."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, 'w', **kw) as z:
        for name, data, options in entries:
            info = zipfile.ZipInfo(name, WHEN)
            info.compress_type = options.get(
                'method', zipfile.ZIP_STORED if options.get('stored') else zipfile.ZIP_DEFLATED)
            if 'link' in options:
                info.create_system = 3
                info.external_attr = 0o120777 << 16
                data = options['link']
            elif 'mode' in options:
                info.create_system = 3
                info.external_attr = options['mode'] << 16
            z.writestr(info, data)
    return buffer.getvalue()


def regular_archives():
    text = 'line one\r\nline two\r\n' * 20
    yield 'plain', archive([('a.txt', 'alpha', {}), ('b.bin', bytes(range(256)), {'stored': True})])
    yield 'folders', archive([('dir/', '', {'mode': 0o40755}), ('dir/sub/x.txt', 'x', {'mode': 0o100600}),
                              ('dir/with space.txt', 'spaced', {})])
    yield 'links', archive([('docs/a.txt', 'a', {}), ('docs/in', '', {'link': 'a.txt'}),
                            ('up', '', {'link': '../outside'}), ('link/x.txt', 'through', {}),
                            ('docs/deep/l', '', {'link': '../../docs/a.txt'})])
    yield 'crlf', archive([('t.txt', text, {}), ('s.txt', text, {'stored': True})])
    yield 'zip64', archive([('z.txt', 'zip64 fields', {})], allowZip64=True)
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, 'w') as z:
        with z.open(zipfile.ZipInfo('forced.txt', WHEN), 'w', force_zip64=True) as f:
            f.write(b'forced zip64')
    yield 'zip64-forced', buffer.getvalue()
    yield 'lzma', archive([('l.txt', text, {'method': zipfile.ZIP_LZMA})])
    yield 'bzip2', archive([('b.txt', text, {'method': zipfile.ZIP_BZIP2})])
    yield 'prefixed', b'#!/bin/sh\nexit 0\n' + archive([('p.txt', 'after a stub', {})])
    yield 'empty', archive([])
    yield 'commented', archive([('c.txt', 'c', {})])[:-2] + struct.pack('<H', 7) + b'comment'
    # Encrypted (traditional), one stored and one deflated entry, password "secret".
    folder = tempfile.mkdtemp()
    try:
        path = os.path.join(folder, 'e.zip')
        make_hostile.write(path, [
            make_hostile.entry(b'enc.txt', b'encrypted text ' * 10, password=b'secret'),
            make_hostile.entry(b'enc-stored.txt', b'stored', method=0, password=b'secret')])
        with open(path, 'rb') as f:
            yield 'encrypted', f.read()
        data = text.encode()
        make_hostile.write(path, [
            make_hostile.entry(b'x.txt', data, method=95, packed=xz(data)),
            make_hostile.entry(b'z.txt', data, method=93, packed=zstd(data)),
            make_hostile.entry(b'd.txt', data, method=9, packed=make_hostile.deflate(data)),
            make_hostile.entry(b'lz.txt', data, method=14, flags=2, packed=zip_lzma(data),
                               password=b'secret')])
        with open(path, 'rb') as f:
            yield 'methods', f.read()
    finally:
        shutil.rmtree(folder)


def xz(data):
    return lzma.compress(data, format=lzma.FORMAT_XZ)


def zip_lzma(data):
    """As zip stores LZMA: encoder version, properties size, properties, the raw stream."""
    filters = [{'id': lzma.FILTER_LZMA1, 'dict_size': 1 << 16}]
    raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)
    return bytes([9, 20, 5, 0]) + lzma._encode_filter_properties(filters[0]) + raw


def zstd(data):
    return subprocess.run(['zstd', '-q', '-c', '-19'], input=data, check=True,
                          stdout=subprocess.PIPE).stdout


def method_seeds():
    """For the decoder targets: a piece-size byte, the flags, the declared size, the data."""
    text = b''.join(b'seed line %d of the quick brown fox\n' % (i * 37 % 101) for i in range(300))
    noise = bytes((i * 7919 + (i >> 3) * 31) % 251 for i in range(6000))

    def seed(piece, flags, size, packed):
        return bytes([piece, flags]) + struct.pack('<I', size) + packed

    deflated = [make_hostile.deflate(d) for d in (text, noise)]
    yield 'deflate64_decoder_fuzzer', [
        ('text', seed(0, 0, len(text), deflated[0])),
        ('noise-pieces', seed(3, 0, len(noise), deflated[1])),
        ('stored', seed(1, 0, 5, b'\x01\x05\x00\xfa\xffhello'))]
    yield 'lzma_decoder_fuzzer', [
        ('marker', seed(0, 2, len(text), zip_lzma(text))),
        ('marker-pieces', seed(2, 2, len(noise), zip_lzma(noise))),
        ('size', seed(0, 0, len(text), zip_lzma(text)))]
    yield 'xz_decoder_fuzzer', [
        ('text', seed(0, 0, len(text), xz(text))),
        ('noise-pieces', seed(4, 0, len(noise), xz(noise)))]
    yield 'zstd_decoder_fuzzer', [
        ('text', seed(0, 0, len(text), zstd(text))),
        ('two-frames', seed(5, 0, 2 * len(noise), zstd(noise) + zstd(noise)))]


def write_corpus(target, items):
    folder = os.path.join(HERE, 'seeds', target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in items:
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)


def main():
    items = list(regular_archives())
    folder = tempfile.mkdtemp()
    try:
        for name, make in make_hostile.cases(folder):
            path = os.path.join(folder, name + '.zip')
            # Absolute names would carry this temporary folder's name, and AES salts are
            # random: keep seeds stable. The 4 GiB case is too slow to make for a seed.
            if name in ('trav-absolute', 'link-out', 'read-size-over-4gib') or name.startswith('pw-aes-'):
                continue
            entries, options = make()
            make_hostile.write(path, entries, **options)
            if os.path.getsize(path) <= LARGEST:
                with open(path, 'rb') as f:
                    items.append(('hostile-' + name, f.read()))
    finally:
        shutil.rmtree(folder)
    for target in ('unzip_list_fuzzer', 'unzip_extract_fuzzer'):
        write_corpus(target, items)
    for target, seeds in method_seeds():
        write_corpus(target, seeds)
    write_corpus('binding_text_fuzzer', [
        ('texts', bytes(range(256)) * 4),
        ('slashes', b'\x00\x05a/b/c\x01\x10/x/y/z\x02\x03\x04' * 8),
    ])


if __name__ == '__main__':
    main()
