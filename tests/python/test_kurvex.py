# SPDX-License-Identifier: GPL-3.0-or-later
import io
import math
import os
import pathlib
import re
import runpy

import kurvex
import numpy as np
import pytest
from conftest import EXAMPLES
from savfile import sav_bytes


def table(text):
    return np.loadtxt(io.StringIO(text), delimiter=",", ndmin=2)


def same(value, text):
    """A value equals what kurvex-cli prints with 15 significant digits (empty for none)."""
    if text == "":
        return value is None
    return value is not None and math.isclose(value, float(text), rel_tol=1e-14, abs_tol=1e-300)


@pytest.mark.parametrize("path", EXAMPLES, ids=lambda p: p.stem)
def test_values_equal_csv(cli, path):
    c = kurvex.load(path)
    csv = table(cli("csv", path, "-o", "-").stdout.decode())
    np.testing.assert_allclose(c.time, csv[:, 0], rtol=1e-14, atol=0)
    np.testing.assert_allclose(c.ch1, csv[:, 1], rtol=1e-14, atol=0)
    if c.ch2 is None:
        assert not c.settings.get("ch2") and not csv[:, 2].any()
    else:
        np.testing.assert_allclose(c.ch2, csv[:, 2], rtol=1e-14, atol=0)
    assert c.model.startswith("UTD") and c.time.dtype == np.float64


@pytest.mark.parametrize("path", EXAMPLES[:3], ids=lambda p: p.stem)
@pytest.mark.parametrize("cursors, math_definition", [(None, None), ((300, 50), "x*y:ch1:ch2"),
                                                ((0, 0), "1/x:ch1:0")])
def test_measurements_equal_measure_all(cli, path, cursors, math_definition):
    args = ["measure", "all", path, "--numbers"]
    first = last = None
    if cursors:
        first, last = cursors
        args += ["--cursors", f"{first},{last}"]
    if math_definition:
        args += ["--math", math_definition]
    lines = [line.split("\t") for line in cli(*args).stdout.decode().splitlines()]
    got = kurvex.load(path).measurements(first, last, math=math_definition)
    columns = lines[0][1:]
    assert list(got) == columns
    assert [row[0] for row in lines[1:]] == list(got["ch1"])
    for row in lines[1:]:
        for column, text in zip(columns, row[1:]):
            assert same(got[column][row[0]], text), (column, row[0], text)


@pytest.mark.parametrize("path", EXAMPLES[:3], ids=lambda p: p.stem)
@pytest.mark.parametrize("channel, window, cursors", [("ch1", "hann", None),
                                                      ("ch2", "flattop", (400, 17)),
                                                      ("math", "rect", None)])
def test_spectrum_equals_cli(cli, path, channel, window, cursors):
    c = kurvex.load(path)
    if channel == "ch2" and c.ch2 is None:
        pytest.skip("a one-channel capture")
    args = [path, "--channel", channel, "--window", window, "--math", "x^2:ch1:0"]
    first, last = cursors or (None, None)
    if cursors:
        args += ["--cursors", f"{first},{last}"]
    s = c.spectrum(channel, window, first, last, math="x^2:ch1:0")
    csv = table(cli("spectrum", *args, "-o", "-").stdout.decode())
    np.testing.assert_allclose(s.frequency, csv[:, 0], rtol=1e-14, atol=0)
    np.testing.assert_allclose(s.rms, csv[:, 1], rtol=1e-14, atol=0)
    # The lines of --peaks, rebuilt from the object: a missing fundamental or THD is None.
    lines = [("peak", p.frequency, p.dbv) for p in s.peaks]
    if s.fundamental is not None:
        lines.append(("fundamental", s.fundamental.frequency, s.fundamental.dbv))
    lines += [("harmonic", k, p.frequency, p.dbv) for k, p in s.harmonics.items()]
    if s.thd is not None:
        lines.append(("thd", s.thd, s.thd_db))
    printed = [line.split("\t") for line in cli("spectrum", *args, "--peaks").stdout.decode().splitlines()]
    assert [line[0] for line in lines] == [line[0] for line in printed]
    for ours, theirs in zip(lines, printed):
        assert all(same(float(v), t) for v, t in zip(ours[1:], theirs[1:])), (ours, theirs)


def test_math_leaves_the_capture_as_loaded():
    c = kurvex.load(EXAMPLES[0])
    before = c.measurements()
    np.testing.assert_allclose(c.math("x-y"), c.ch1 - c.ch2, rtol=1e-12, atol=1e-12)
    np.testing.assert_allclose(c.math("x*y", y=0.5), c.ch1 * 0.5, rtol=1e-12, atol=1e-12)
    assert c.measurements() == before and "math" not in before
    with pytest.raises(ValueError):
        c.math("x%y")


# Good and bad files: the code and message the reader gives kurvex-cli, bytes of names
# that are not UTF-8 included.
GOOD = sav_bytes([[128 + i % 50 for i in range(1000)]] * 2)


@pytest.mark.parametrize("name, content, code", [
    (b"ok\xe9.sav", GOOD, 0),
    (b"truncated.sav", GOOD[:-100], 0),
    ("nine-letter model.sav", sav_bytes([[128] * 1000] * 2, model=b"UTD2025CL"), 0),
    (b"missing\xff.sav", None, 1),
    ("folder", "dir", 1),
    ("text.sav", b"just some text, not a capture" * 10, 2),
    ("three channels.sav", GOOD[:97] + b"\x03" + GOOD[98:], 4),
], ids=["non-utf8", "truncated", "UTD2025CL", "missing", "folder", "text", "three-channels"])
def test_load_errors_and_names(cli, tmp_path, name, content, code):
    path = os.path.join(os.fsencode(tmp_path), os.fsencode(name))
    if content == "dir":
        os.mkdir(path)
    elif content is not None:
        pathlib.Path(os.fsdecode(path)).write_bytes(content)
    info = cli("info", path, check=False)
    # A file cut short loads; kurvex-cli names the samples it misses and exits with 6.
    missing = {f"ch{k.decode()}": int(n) for k, n in re.findall(rb"Kanal (\d): (\d+) von", info.stderr)}
    assert info.returncode == (6 if missing else code)
    for given in (path, os.fsdecode(path), pathlib.Path(os.fsdecode(path))):
        if code == 0:
            c = kurvex.load(given)
            assert c.missing == {"ch1": 0, "ch2": 0} | missing and len(c.ch1) == 1000
            assert c.model == content[10:20].rstrip(b"\0").decode()
            continue
        with pytest.raises(kurvex.CaptureError) as error:
            kurvex.load(given)
        assert error.value.code == code and error.value.path is given
        assert str(error.value).encode() == info.stderr.rstrip(b"\n")
    with pytest.raises(TypeError):
        kurvex.load(12)


def test_example_script_runs(monkeypatch):
    monkeypatch.setenv("MPLBACKEND", "Agg")
    runpy.run_path(str(EXAMPLES[0].parent / "python_example.py"), run_name="__main__")


def test_ranges_are_checked():
    c = kurvex.load(EXAMPLES[0])
    n = len(c.time)
    assert c.measurements(n - 1, 0) == c.measurements(0, n - 1)
    for first, last in [(-1, None), (None, n), (n, 0)]:
        with pytest.raises(IndexError):
            c.measurements(first, last)
    with pytest.raises(ValueError):
        c.spectrum("ch3")
