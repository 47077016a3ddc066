#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the fuzzer's seed corpus in fuzz/corpus: small .sav files, one or two of each model,
channel count and trigger type, so that a mutation starts from a file the reader accepts and
costs little. The bad-file corpus in tests/data/bad is the other half of the seeds."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def block(count, words, interval=4_000_000, trigger=0, probe=1, present=None):
    b = bytearray(62)
    b[1] = 1  # AC
    b[2] = 1  # bandwidth limit
    b[11] = probe
    b[13] = 153  # offset +1 DIV
    struct.pack_into("<q", b, 15, 500_000)
    struct.pack_into("<q", b, 39, interval)
    struct.pack_into("<H", b, 47, count)
    struct.pack_into("<H", b, 51, trigger)
    for w in words[:count if present is None else present]:
        b += struct.pack("<H", w)
    return b


def sav(model, blocks, trigger_type=0, source=0):
    h = bytearray(124)
    h[10:20] = model.ljust(10, b"\0")
    h[62] = 1  # normal
    h[63] = source
    h[72] = trigger_type
    h[74] = 2  # rise and fall
    struct.pack_into("<q", h, 75, 20_000)  # 20 us pulse width
    h[83] = 1
    h[84] = 2
    struct.pack_into("<q", h, 89, 250_000)
    h[97] = len(blocks)
    out = h
    for b in blocks:
        out += b
    # The trigger offset lies inside the CH1 block.
    struct.pack_into("<q", out, 147, -1_500_000)
    return bytes(out)


def main():
    os.makedirs(HERE, exist_ok=True)
    ramp = [28 + 12 * i for i in range(16)]
    square = [78 if (i // 4) % 2 else 178 for i in range(16)]
    seeds = {
        "utd2052cel_ch1_edge_n16.sav": sav(b"UTD2052CEL", [block(16, ramp, trigger=8)]),
        "utd2102cel_ch1_ch2_pulse_n16.sav": sav(
            b"UTD2102CEL", [block(16, ramp, trigger=3), block(16, square, trigger=3, probe=3)],
            trigger_type=2, source=1),
        "utd2025cl_ch1_ch2_edge_n8.sav": sav(
            b"UTD2025CL", [block(8, square), block(8, ramp, probe=0)]),
        # A count that the file does not deliver: the rest reads as raw 0.
        "utd2052cel_ch1_count64_cut.sav": sav(b"UTD2052CEL", [block(64, ramp, present=5)]),
    }
    for name, data in seeds.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
