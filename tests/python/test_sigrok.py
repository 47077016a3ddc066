# SPDX-License-Identifier: GPL-3.0-or-later
# kurvex-cli sr against sigrok-cli: channels, sample rate and count as sigrok reads them, and
# the stored samples equal the capture's values as float32.
import shutil
import subprocess
import zipfile

import kurvex
import numpy as np
import pytest
from conftest import EXAMPLES
from savfile import sav_bytes

SLOW = sav_bytes([[128 + i % 30 for i in range(100)]], interval_ps=3_000_000_000_000)


@pytest.mark.parametrize("source, math_definition, names", [
    (EXAMPLES[0], None, ["CH1", "CH2"]),
    (EXAMPLES[-2], None, ["CH1"]),
    (EXAMPLES[2], "x/y:ch1:ch2", ["CH1", "CH2", "MATH"]),
    ("slow.sav", "-x:ch1:0", ["CH1", "MATH"]),  # 3 s per sample: no whole-hertz rate
], ids=["two-channels", "one-channel", "with-math", "slow"])
def test_session_reads_back_in_sigrok(cli, tmp_path, source, math_definition, names):
    if source == "slow.sav":
        source = tmp_path / source
        source.write_bytes(SLOW)
    out = tmp_path / "out.sr"
    cli("sr", source, "-o", out, *(["--math", math_definition] if math_definition else []))
    c = kurvex.load(source)
    interval = c.time[1] - c.time[0]
    rate = round(1 / interval)

    sigrok = shutil.which("sigrok-cli")
    assert sigrok, "sigrok-cli is needed (scripts/install-deps.sh installs it)"
    shown = subprocess.run([sigrok, "-i", out, "--show"], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    expected = [f"Channels: {len(names)}", *[f"- {n}: analog" for n in names],
                f"Analog sample count: {len(c.time)}"]
    assert shown == ([f"Samplerate: {rate}"] if rate else []) + expected

    with zipfile.ZipFile(out) as session:
        assert session.testzip() is None
        assert session.read("version") == b"2"
        values = [c.ch1, c.ch2, c.math(math_definition.split(":")[0], *math_definition.split(":")[1:])
                  if math_definition else None]
        stored = [v for v in values if v is not None]
        for k, value in enumerate(stored, start=1):
            samples = np.frombuffer(session.read(f"analog-1-{k}-1"), dtype="<f4")
            np.testing.assert_array_equal(samples, value.astype(np.float32))


def test_sr_refuses_standard_output_and_unwritable_targets(cli, tmp_path):
    assert cli("sr", EXAMPLES[0], "-o", "-", check=False).returncode == 64
    assert cli("sr", EXAMPLES[0], "-o", tmp_path / "no" / "x.sr", check=False).returncode == 5
