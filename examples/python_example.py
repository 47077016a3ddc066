#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A capture in Python, cell by cell (the "# %%" marks are cells in Jupyter, VS Code and
# Spyder). Run from a build tree with: PYTHONPATH=build/python /usr/bin/python3 examples/python_example.py

# %% Load a capture: str, bytes or os.PathLike
import pathlib

import kurvex
import numpy as np

here = pathlib.Path(__file__).resolve().parent
c = kurvex.load(here / "sine-1khz-ch1-ch2-edge.sav")
print(c, c.model)
print("settings:", c.settings)

# %% The traces are NumPy arrays in volts, the time axis in seconds from the first sample
print(f"{c.time.size} samples over {c.time[-1] * 1e3:.3f} ms")
print(f"CH1 {c.ch1.min():.3f} .. {c.ch1.max():.3f} V, CH2 mean {np.mean(c.ch2):.4f} V")

# %% The automatic measurements, as the window and `kurvex-cli measure all --numbers` give them
m = c.measurements()
print(f"CH1: {m['ch1']['freq']:.2f} Hz, {m['ch1']['rms']:.4f} V RMS")
print("CH1 rise time:", m["ch1"]["rise"])  # a float, or None where it cannot be made

# %% Over samples 100..1099 only, with the difference CH1 - CH2 as the math trace
m = c.measurements(first=100, last=1099, math="x-y:ch1:ch2")
print(f"math CH1-CH2: {m['math']['pkpk']:.3f} V peak to peak")

# %% The spectrum of channel 1 with a flat-top window
s = c.spectrum("ch1", window="flattop")
print("fundamental:", s.fundamental)
print("THD:", None if s.thd is None else f"{s.thd:.3f} %")
loudest = np.argmax(s.rms[1:]) + 1
print(f"strongest bin: {s.frequency[loudest]:.1f} Hz, {s.rms[loudest]:.4f} V RMS")

# %% A math trace as the math dialog computes it: the product of the channels
power = c.math("x*y", x="ch1", y="ch2")
print(f"mean of CH1*CH2: {power.mean():.4f} V²")

# %% A file that is no capture raises kurvex.CaptureError with the reader's code and message
try:
    kurvex.load(here / "python_example.py")
except kurvex.CaptureError as error:
    print(f"code {error.code}: {error}")

# %% Plot when matplotlib is installed
try:
    import matplotlib.pyplot as plt
except ImportError:
    plt = None
if plt is not None:
    plt.plot(c.time * 1e3, c.ch1, label="CH1")
    plt.plot(c.time * 1e3, c.ch2, label="CH2")
    plt.xlabel("ms")
    plt.ylabel("V")
    plt.legend()
    plt.show()
