#!/usr/bin/env python3
"""Writes the seed corpus of the sequential-reader fuzz target.

Each seed is a plan of READ statements followed by a file (layout in
fuzz_unf_read.cpp): valid files read the way the converter reads its input,
and near-valid ones with short, long, cut, continued or garbled records.
Run it from anywhere; it rewrites tests/fuzz/corpus/seed-*.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")

ADJ, ZERO, GAP, HALF = 0, 1, 2, 3
# Count selectors above 239 pick from the target's table of large counts.
COUNT = {0x7FFFFFFF: 240, 0x40000000: 241, -1: 242, 1 << 20: 243,
         -0x80000000: 244, 65536: 245, 11094: 246, 4080: 247,
         0x10000001: 248, 306: 250, 144: 251}


def item(type_code, count, stride=ADJ, length=0):
    sel = COUNT.get(count, count)
    assert 0 <= sel < 256
    return bytes([type_code, sel, stride, 255 if length < 0 else length])


def seed(plans, file_bytes, family=0, convert=0):
    assert 1 <= len(plans) <= 8
    head = bytes([family | convert << 1 | (len(plans) - 1) << 3])
    body = b"".join(bytes([len(p)]) + b"".join(p) for p in plans)
    return head + body + file_bytes


def rec(payload, big=True, lead=None, trail=None):
    fmt = ">I" if big else "<I"
    n = len(payload)
    return (struct.pack(fmt, n if lead is None else lead) + payload +
            struct.pack(fmt, n if trail is None else trail))


def reals(values, big=True):
    return b"".join(struct.pack(">d" if big else "<d", v) for v in values)


def ints(values, big=True):
    return b"".join(struct.pack(">i" if big else "<i", v) for v in values)


HEADER_TEXT = b"KELVORANSAMPLE  T42L28  20261209"
HEADER_2 = (reals([6.0]) + ints([2026, 12, 9, 0]) +
            reals([i / 28 for i in range(29)]) + reals([i / 27 for i in range(28)]) +
            reals([2.5 * i for i in range(144)]) + reals([1e-12 * i for i in range(306)]))
assert len(HEADER_2) == 4080
LEVEL = reals([280.0 - 0.25 * i for i in range(64)])

HEADER_PLAN_1 = [item(15, 4, ADJ, 8)]
HEADER_PLAN_2 = [item(8, 1, ZERO), item(6, 4), item(8, 29)]
HEADER_PLAN_3 = [item(8, 28), item(8, 144), item(8, 306)]
LEVEL_PLAN = [item(8, 64)]

SEEDS = {
    # The converter's first records, read as it reads them.
    "header": seed([HEADER_PLAN_1, HEADER_PLAN_2],
                   rec(HEADER_TEXT) + rec(HEADER_2) + rec(LEVEL)),
    "header-2-one-byte-short": seed([HEADER_PLAN_1, [item(4, 4080)]],
                                    rec(HEADER_TEXT) + rec(HEADER_2[:-1])),
    "levels": seed([LEVEL_PLAN], rec(LEVEL) * 3),
    "level-longer-than-read": seed([LEVEL_PLAN], rec(LEVEL + reals([42.0])) + rec(LEVEL)),
    "level-cut-inside": seed([LEVEL_PLAN], rec(LEVEL) + rec(LEVEL)[:300]),
    "level-cut-in-marker": seed([LEVEL_PLAN], rec(LEVEL) + b"\x00\x00"),
    "empty-file": seed([LEVEL_PLAN], b""),
    "empty-records": seed([[], [item(15, 1, ADJ, 0)]], rec(b"") * 3 + rec(b"abc")),
    "marker-largest": seed([LEVEL_PLAN], rec(LEVEL, lead=0x7FFFFFFF) + rec(LEVEL)),
    "marker-zero": seed([LEVEL_PLAN, LEVEL_PLAN], rec(LEVEL, lead=0) + rec(LEVEL)),
    "trailing-marker-garbled": seed([LEVEL_PLAN], rec(LEVEL, trail=0xDEADBEEF) + rec(LEVEL)),
    # A record in three segments: continuation bits on the leading markers.
    "continued-segments": seed(
        [[item(6, 2)], [item(6, 1)]],
        rec(ints([1, 2]), lead=0x80000008, trail=8) +
        rec(ints([3, 4]), lead=0x80000008, trail=0x80000008) +
        rec(ints([5]), trail=0x80000004) + rec(ints([6, 7]))),
    "continued-at-end-of-file": seed([[item(6, 1)]], rec(ints([1]), lead=0x80000004)),
    # Host order, and each CONVERT= choice.
    "host-order": seed([[item(6, 3)], [item(8, 2)]],
                       rec(ints([1, 2, 3], False), False) + rec(reals([1.0, 2.0], False), False),
                       family=1),
    "native-convert": seed([[item(6, 3)]], rec(ints([1, 2, 3], False), False), convert=2),
    "big-endian-convert": seed([[item(6, 3)]], rec(ints([1, 2, 3]))),
    "host-family-big-endian": seed([[item(8, 2)]], rec(reals([1.0, 2.0])), family=1, convert=1),
    # Item shapes: strides, overlap, every reversal unit, odd lengths.
    "strided": seed([[item(6, 3, GAP), item(8, 2, ZERO), item(7, 4, HALF)]],
                    rec(ints(range(9)) + reals([0.5, 1.5]) + ints(range(4)))),
    "all-types": seed([[item(t, 2, ADJ, 3)] for t in range(0, 20, 3)],
                      b"".join(rec(bytes(range(i * 7, i * 7 + 40))) for i in range(8))),
    "complex-and-two-byte-text": seed([[item(10, 2), item(11, 1), item(16, 2, ADJ, 3)]],
                                      rec(bytes(range(44)))),
    "unknown-type": seed([[item(20, 1)], [item(6, 1)]], rec(ints([7])) + rec(ints([8]))),
    "huge-counts": seed([[item(8, 0x7FFFFFFF, ZERO)], [item(6, -1)], [item(4, 11094, ZERO)]],
                        rec(reals([1.0] * 4), lead=0x7FFFFFFF) + rec(ints([1])) + rec(b"x" * 16)),
    "negative-length": seed([[item(15, 2, ADJ, -1), item(6, 1)]], rec(ints([9]))),
    "read-after-end": seed([LEVEL_PLAN], rec(LEVEL)),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for old in os.listdir(OUT):
        if old.startswith("seed-"):
            os.remove(os.path.join(OUT, old))
    for name, data in sorted(SEEDS.items()):
        with open(os.path.join(OUT, "seed-" + name), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds, {sum(map(len, SEEDS.values()))} bytes in {OUT}")


if __name__ == "__main__":
    main()
