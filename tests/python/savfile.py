# SPDX-License-Identifier: GPL-3.0-or-later
"""Our own .sav bytes for the tests and the benchmark (the layout of tests/support/sav_builder)."""
import struct


def sav_bytes(channels, interval_ps=1_000_000, model=b"UTD2102CEL"):
    """channels: one list of raw sample words per channel (25 counts per division, 128 at
    the centre), 1 V/DIV, probe x1, DC."""
    header = bytearray(124)
    header[10:10 + len(model)] = model
    header[97] = len(channels)
    blocks = bytearray()
    for raw in channels:
        block = bytearray(62)
        block[13] = 128
        struct.pack_into("<q", block, 15, 1_000_000)
        struct.pack_into("<q", block, 39, interval_ps)
        struct.pack_into("<H", block, 47, len(raw))
        blocks += block + struct.pack(f"<{len(raw)}H", *raw)
    return bytes(header + blocks)
