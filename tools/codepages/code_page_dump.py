"""Reads the reference dump written by tests/codepages/code_page_dump.c (layout described there)."""
import struct
from dataclasses import dataclass, field


@dataclass
class Page:
    cp: int
    max_char_size: int
    lead_ranges: list
    default_char: bytes
    unicode_default: int
    single: list = field(default_factory=list)   # 256 x (units tuple, valid)
    pairs: dict = field(default_factory=dict)    # lead -> 256 x (units, valid)
    lead_alone: dict = field(default_factory=dict)  # lead -> (units, valid)
    wide: list = field(default_factory=list)     # 65536 x (bytes, used)
    surrogates: list = field(default_factory=list)  # (input units, bytes, used)

    def is_lead(self, b):
        return any(lo <= b <= hi for lo, hi in self.lead_ranges)


def _byte_record(data, pos):
    n, valid = data[pos], data[pos + 1]
    if n > 3:
        raise ValueError("byte record with %d units" % n)
    units = struct.unpack_from("<3H", data, pos + 2)[:n]
    return (tuple(units), bool(valid)), pos + 8


def _unit_record(data, pos):
    n, used = data[pos], data[pos + 1]
    if n > 4:
        raise ValueError("unit record with %d bytes" % n)
    return (bytes(data[pos + 2:pos + 2 + n]), bool(used)), pos + 6


def _skip_utf8(data, pos):
    (count,) = struct.unpack_from("<I", data, pos)
    pos += 4
    for _ in range(count):
        pos += 1 + data[pos] + 17
    (count,) = struct.unpack_from("<I", data, pos)
    pos += 4
    for _ in range(count):
        pos += 1 + 2 * data[pos] + 17
    return pos


def read(path):
    data = open(path, "rb").read()
    if data[:8] != b"QRXCPD1\n":
        raise ValueError("not a code page dump: " + path)
    (count,), pos = struct.unpack_from("<I", data, 8), 12
    pages = []
    for _ in range(count):
        cp, mcs = struct.unpack_from("<II", data, pos)
        if cp == 65001:  # UTF-8 samples: the tests read them, the tables need none
            pos = _skip_utf8(data, pos + 4)
            continue
        pos += 8
        lb = data[pos:pos + 12]
        pos += 12
        ranges = [(lb[i], lb[i + 1]) for i in range(0, 12, 2) if lb[i] or lb[i + 1]]
        dc = bytes(data[pos:pos + 2]).rstrip(b"\0")
        (ud,) = struct.unpack_from("<H", data, pos + 2)
        pos += 4
        p = Page(cp, mcs, ranges, dc, ud)
        for _ in range(256):
            r, pos = _byte_record(data, pos)
            p.single.append(r)
        if mcs == 2:
            for lead in range(256):
                if not p.is_lead(lead):
                    continue
                row = []
                for _ in range(256):
                    r, pos = _byte_record(data, pos)
                    row.append(r)
                p.pairs[lead] = row
                p.lead_alone[lead], pos = _byte_record(data, pos)
        for _ in range(0x10000):
            r, pos = _unit_record(data, pos)
            p.wide.append(r)
        inputs = [(0xD800 + i, 0xDC00 + ((i * 37) & 0x3FF)) for i in range(1024)]
        for i in range(128):
            c = 0xE0000 + i - 0x10000
            inputs.append((0xD800 + (c >> 10), 0xDC00 + (c & 0x3FF)))
        for units in inputs:
            (b, used), pos = _unit_record(data, pos)
            p.surrogates.append((units, b, used))
        pages.append(p)
    if pos != len(data):
        raise ValueError("trailing data in " + path)
    return pages
