"""Archives for the unzip engine tests, made at test time.

make(path, entries) writes a regular archive with the standard zipfile module; raw(path,
entries) writes stored entries byte by byte so a test can give the headers any value,
including the hostile and inconsistent ones no archiver writes.
"""
import struct
import zipfile
import zlib


def make(path, entries):
    """entries: dicts with name, data (str or bytes), and optionally method ('stored' or
    'deflated'), mode (Unix bits, with the type), date ((y, m, d, h, mi, s)), link
    (target: a Unix symbolic link)."""
    with zipfile.ZipFile(path, 'w') as archive:
        for e in entries:
            info = zipfile.ZipInfo(e['name'], e.get('date', (2020, 5, 17, 10, 30, 42)))
            info.compress_type = (zipfile.ZIP_STORED if e.get('method') == 'stored'
                                  else zipfile.ZIP_DEFLATED)
            data = e.get('data', '')
            if 'link' in e:
                info.create_system = 3
                info.external_attr = (0o120777 << 16)
                data = e['link']
            elif 'mode' in e:
                info.create_system = 3
                info.external_attr = e['mode'] << 16
            archive.writestr(info, data)


def raw(path, entries, zip64_size=None):
    """entries: dicts with name (bytes), data (bytes), and optionally method (the data is
    then given already compressed), flags, mode,
    comment (bytes), local_name (bytes, for a disagreeing local header), crc (a wrong CRC) and size (a
    declared size), both written to the local and the central header, same_offset_as (index of an earlier entry whose local header this
    entry's central record points at). zip64_size gives the first entry that declared
    size through a zip64 field."""
    out = bytearray()
    central = bytearray()
    offsets = []
    for i, e in enumerate(entries):
        name, data = e['name'], e['data']
        flags = e.get('flags', 0)
        method = e.get('method', 0)
        crc = e.get('crc', zlib.crc32(data))
        size = e.get('size', len(data))
        extra = b''
        if i == 0 and zip64_size is not None:
            extra = struct.pack('<HHQ', 1, 8, zip64_size)
            size = 0xFFFFFFFF
        if 'same_offset_as' in e:
            offset = offsets[e['same_offset_as']]
        else:
            offset = len(out)
            local_name = e.get('local_name', name)
            out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, flags, method, 0x5000, 0x50B1,
                               crc, len(data), size, len(local_name), 0)
            out += local_name + data
        offsets.append(offset)
        mode = e.get('mode', 0o100644)
        comment = e.get('comment', b'')
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, e.get('made_by', 0x0314), 45, flags, method, 0x5000,
                               0x50B1, crc, len(data), size, len(name), len(extra), len(comment),
                               0, 0, mode << 16, offset)
        central += name + extra + comment
    cd_offset = len(out)
    out += central
    out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(entries), len(entries), len(central),
                       cd_offset, 0)
    with open(path, 'wb') as f:
        f.write(out)
