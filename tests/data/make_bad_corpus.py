#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the bad-file corpus in tests/data/bad: damaged or odd .sav files, each named
code<N>_<what>.sav after the result code the reader must give it. Written independently of
the C++ test builder, so that the two encodings of the layout check each other.
Inputs the fuzzer found are kept next to these by hand and are not rewritten here."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bad")


def block(count, interval=1_000_000, trigger=0, probe=0, words=None, count_field=None):
    b = bytearray(62)
    b[1] = 0  # DC
    b[11] = probe
    b[13] = 128
    struct.pack_into("<q", b, 15, 1_000_000)
    struct.pack_into("<q", b, 39, interval)
    struct.pack_into("<H", b, 47, count if count_field is None else count_field)
    struct.pack_into("<H", b, 51, trigger)
    if words is None:
        words = [128 + (i * 7) % 100 - 50 for i in range(count)]
    for w in words:
        b += struct.pack("<H", w)
    return b


def sav(blocks, model=b"UTD2102CEL", channel_byte=None, header=None):
    h = bytearray(124)
    h[10:20] = model.ljust(10, b"\0")[:10]
    h[97] = len(blocks) if channel_byte is None else channel_byte
    struct.pack_into("<q", h, 89, 100_000)
    for offset, value in (header or {}).items():
        h[offset] = value
    out = h
    for b in blocks:
        out += b
    return bytes(out)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(HERE, exist_ok=True)
    good = sav([block(500, trigger=250), block(500, trigger=250)])

    write("code2_empty.sav", b"")
    write("code2_other_model.sav", sav([block(500)], model=b"TDS2024B\0\0"))
    write("code2_utd2025cl_nonzero_tenth_byte.sav", sav([block(500)], model=b"UTD2025CL\x20"))
    write("code2_lowercase_model.sav", sav([block(500)], model=b"utd2052cel"))
    write("code2_model_cut_short.sav", good[:15])

    write("code4_model_only_utd2025cl.sav", sav([block(10)], model=b"UTD2025CL")[:19])
    write("code4_ends_before_channel_byte.sav", good[:97])
    write("code4_channels0.sav", sav([block(500)], channel_byte=0))
    write("code4_channels3.sav", sav([block(500), block(500), block(500)]))
    write("code4_channels255.sav", sav([block(500)], channel_byte=255))
    write("code4_counts_differ.sav", sav([block(500), block(499)]))
    write("code4_intervals_differ.sav", sav([block(500), block(500, interval=999_999)]))
    write("code4_trigger_positions_differ.sav",
          sav([block(500, trigger=250), block(500, trigger=251)]))
    write("code0_ch2_block_missing.sav", good[:124 + 62 + 1000])
    write("code4_ch1_count_lies.sav",
          sav([block(500, count_field=400), block(500)]))

    write("code4_count0.sav", sav([block(0)]))
    write("code4_two_channels_count0.sav", sav([block(0), block(0)]))
    write("code4_header_only.sav", sav([block(0)], channel_byte=1)[:124])

    write("code0_truncated_samples.sav", good[:len(good) - 333])
    write("code0_count_65535_no_samples.sav", sav([block(0, count_field=65535)]))
    write("code0_trailing_garbage.sav", good + bytes(range(256)) * 16)
    write("code0_codes_outside_tables.sav",
          sav([block(20, probe=9)], header={o: 0xEE for o in (62, 63, 72, 73, 74, 83, 84)}))
    extreme = bytearray(sav([block(20), block(20)]))
    for offset in (75, 89, 124 + 15, 124 + 39, 147, 186 + 40 + 15, 186 + 40 + 39):
        struct.pack_into("<q", extreme, offset, -(2**63))
    write("code0_extreme_integers.sav", bytes(extreme))


if __name__ == "__main__":
    main()
