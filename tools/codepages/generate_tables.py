#!/usr/bin/env python3
"""Generates src/platform/posix/code_page_tables.cpp from a reference dump of the Windows
code-page conversions (flags 0), written by tests/codepages/code_page_dump.c under Wine.

    cmake --build build --target code_page_reference      # cross-built with MinGW
    ctest --test-dir build -R code_page_reference           # runs it once under Wine
    tools/codepages/generate_tables.py build/tests/codepages/code_page_reference.dump \
        src/platform/posix/code_page_tables.cpp

With --check it only compares: the test suite runs it so the checked-in tables cannot drift
from the reference.

Per code page the output holds:
  - the 256 single bytes as UTF-16 units, with a bitmap of the bytes whose reading loses
    information (rejected as invalid by the reference and not mapped back to the same byte);
  - for a double-byte code page, its lead-byte ranges and one row of 256 units per lead byte,
    0 for a pair the reference rejects (it reads as the default character); the rows are packed
    as literal, constant and ascending runs;
  - the way back as exceptions to the plain inverse of those tables: best-fit characters, the
    preferred one of several byte sequences for a character, and characters written as the
    default character (0xFFFF).
Every fact the converter relies on (ASCII maps to itself, a rejected pair always reads as the
default character, only a zero trail byte is left unconsumed) is checked here, so a dump that
breaks one fails the generation instead of producing a wrong table.
"""
import sys
import os

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import code_page_dump  # noqa: E402

UNMAPPED = 0xFFFF


def pack_runs(values):
    """Tokens: 0x0000-0x3FFF literal count n, then n values; 0x4000|n: n copies of the next
    value; 0x8000|n: n values ascending by one from the next value."""
    out = []
    i, n = 0, len(values)
    literal = []

    def flush():
        while literal:
            chunk = literal[:0x3FFF]
            del literal[:0x3FFF]
            out.append(len(chunk))
            out.extend(chunk)

    while i < n:
        j = i + 1
        while j < n and values[j] == values[i] and j - i < 0x3FFF:
            j += 1
        if j - i >= 3:
            flush()
            out += [0x4000 | (j - i), values[i]]
            i = j
            continue
        j = i + 1
        while j < n and values[j] == values[j - 1] + 1 and j - i < 0x7FFF:
            j += 1
        if j - i >= 3:
            flush()
            out += [0x8000 | (j - i), values[i]]
            i = j
            continue
        literal.append(values[i])
        i += 1
    flush()
    return out


def unpack_runs(tokens):
    out, i = [], 0
    while i < len(tokens):
        t = tokens[i]
        if t & 0x8000:
            out += [tokens[i + 1] + k for k in range(t & 0x7FFF)]
            i += 2
        elif t & 0x4000:
            out += [tokens[i + 1]] * (t & 0x3FFF)
            i += 2
        else:
            out += tokens[i + 1:i + 1 + t]
            i += 1 + t
    return out


def check(cond, what):
    if not cond:
        raise SystemExit("dump breaks an assumption: " + what)


def encode(b):
    return b[0] if len(b) == 1 else (b[0] << 8) | b[1]


def build(p):
    cp = p.cp
    dbcs = p.max_char_size == 2
    check(p.default_char == b"?", "%d: default character is '?'" % cp)
    udef = p.unicode_default
    single, lossy_bits = [], [0] * 8
    for b in range(256):
        units, valid = p.single[b]
        if dbcs and p.is_lead(b):
            check(units == (udef,) and not valid, "%d: a lead byte alone reads as the default" % cp)
            check(p.lead_alone[b] == ((udef,), False), "%d: a lead byte at the end" % cp)
            single.append(0)
            continue
        check(len(units) == 1, "%d: byte %02X reads as one unit" % (cp, b))
        if b < 0x80:
            check(units[0] == b and valid, "%d: ASCII maps to itself" % cp)
        back = p.wide[units[0]][0]
        if not valid and back != bytes([b]):
            lossy_bits[b >> 5] |= 1 << (b & 31)
        single.append(units[0])
    rows = []
    if dbcs:
        for lead in sorted(p.pairs):
            for trail, (units, valid) in enumerate(p.pairs[lead]):
                if trail == 0:
                    check(units == (udef, 0) and not valid, "%d: a zero trail byte is left" % cp)
                    rows.append(0)
                    continue
                check(len(units) == 1, "%d: pair %02X%02X reads as one unit" % (cp, lead, trail))
                if not valid:
                    check(units[0] == udef, "%d: rejected pair %02X%02X reads as default" % (cp, lead, trail))
                    rows.append(0)
                else:
                    check(units[0] != 0, "%d: no pair reads as U+0000" % cp)
                    rows.append(units[0])
    # The plain inverse: the first byte sequence, in byte order, that reads as a character.
    inverse = {}
    for b in range(256):
        if single[b] and not lossy_bits[b >> 5] & (1 << (b & 31)) or b == 0:
            inverse.setdefault(single[b], b)
    if dbcs:
        leads = sorted(p.pairs)
        for k, v in enumerate(rows):
            if v:
                inverse.setdefault(v, (leads[k >> 8] << 8) | (k & 0xFF))
    exceptions = []
    for u in range(0x10000):
        out, used = p.wide[u]
        check(len(out) in (1, 2), "%d: U+%04X writes one or two bytes" % (cp, u))
        if used:
            check(out == b"?", "%d: the default character is '?'" % cp)
            value = UNMAPPED
        else:
            value = encode(out)
            check(value != UNMAPPED, "%d: FF FF is never written" % cp)
        if inverse.get(u, UNMAPPED) != value:
            exceptions.append((u, value))
    for units, out, used in p.surrogates:
        check(out == b"??" and used, "%d: a surrogate pair writes two default characters" % cp)
    packed = pack_runs(rows) if dbcs else []
    check(unpack_runs(packed) == rows, "%d: packing round trip" % cp)
    return dict(cp=cp, dbcs=dbcs, udef=udef, single=single, lossy=lossy_bits,
                leads=p.lead_ranges, packed=packed, exceptions=exceptions)


def words(values, width=100):
    """Decimal, packed to lines of about `width` characters: the smallest plain-text form."""
    lines, line = [], ""
    for v in values:
        item = "%d," % v
        if len(line) + len(item) > width:
            lines.append(line)
            line = ""
        line += item
    if line:
        lines.append(line)
    return "\n".join(lines)


def emit(tables, out):
    w = out.write
    w("// Generated by tools/codepages/generate_tables.py from the reference dump; do not edit.\n")
    w("// Windows code-page tables: single bytes, packed lead-byte rows and the exceptions of the\n")
    w("// way back (best fit, preferred sequences, characters written as the default character).\n")
    w('#include "platform/posix/code_page_tables.h"\n\n')
    w("namespace qrx::platform {\nnamespace {\n\n")
    for t in tables:
        cp = t["cp"]
        w("constexpr uint16_t kSingle%d[256] = {\n%s\n};\n" % (cp, words(t["single"])))
        if t["dbcs"]:
            w("constexpr uint16_t kRows%d[] = {\n%s\n};\n" % (cp, words(t["packed"])))
        flat = [x for e in t["exceptions"] for x in e]
        w("constexpr uint16_t kBack%d[] = {\n%s\n};\n\n" % (cp, words(flat)))
    w("constexpr CodePageTable kTables[] = {\n")
    for t in tables:
        cp = t["cp"]
        leads = list(t["leads"]) + [(0, 0)] * (6 - len(t["leads"]))
        lead_init = ", ".join("{0x%02X, 0x%02X}" % r for r in leads)
        lossy = ", ".join("0x%08Xu" % x for x in t["lossy"])
        rows = ("kRows%d, sizeof kRows%d / sizeof kRows%d[0]" % (cp, cp, cp)) if t["dbcs"] else "nullptr, 0"
        w("    {%d, 0x%04X, {%s}, kSingle%d, {%s}, %s, kBack%d, sizeof kBack%d / sizeof kBack%d[0] / 2},\n"
          % (cp, t["udef"], lead_init, cp, lossy, rows, cp, cp, cp))
    w("};\n\n} // namespace\n\n")
    w("std::span<const CodePageTable> CodePageTables() { return kTables; }\n\n")
    w("} // namespace qrx::platform\n")


def main():
    args = sys.argv[1:]
    check = bool(args) and args[0] == "--check"
    if check:
        args = args[1:]
    if len(args) != 2:
        raise SystemExit("usage: generate_tables.py [--check] <dump> <output .cpp>")
    tables = [build(p) for p in code_page_dump.read(args[0])]
    if check:
        # The checked-in tables must be what the reference answers today.
        import io
        text = io.StringIO()
        emit(tables, text)
        with open(args[1]) as f:
            if f.read() != text.getvalue():
                raise SystemExit("%s differs from what %s gives: regenerate it" % (args[1], args[0]))
        print("%s is current" % args[1])
        return
    tmp = args[1] + ".tmp"
    with open(tmp, "w") as out:
        emit(tables, out)
    os.replace(tmp, args[1])
    for t in tables:
        print("%5d: %s%d exceptions" % (t["cp"], "%d packed row words, " % len(t["packed"]) if t["dbcs"] else "",
                                       len(t["exceptions"])))


if __name__ == "__main__":
    main()
