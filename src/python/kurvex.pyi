# SPDX-License-Identifier: GPL-3.0-or-later
"""Oscilloscope captures (.sav) as NumPy arrays, with the measurements, the spectrum and
the math trace of the Kurvex viewer."""

import os
from typing import Iterable, Literal, Optional, Union

import numpy as np
import numpy.typing as npt

Channel = Literal["ch1", "ch2", "math"]
Window = Literal["rect", "hann", "blackman-harris", "flattop"]
MathDefinition = Union[str, Iterable[str]]
Operand = Union[Literal["ch1", "ch2", "math"], float]

class CaptureError(Exception):
    """A capture could not be loaded.

    code: 1 the file cannot be opened, 2 it is not a capture of a known model,
    3 not enough memory, 4 it holds invalid values."""

    message: str
    code: int
    path: Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
    def __init__(self, message: str, code: int, path: object) -> None: ...

class Peak:
    """A spectral line: frequency in Hz and its level."""

    @property
    def frequency(self) -> float: ...
    @property
    def rms(self) -> float: ...
    @property
    def dbv(self) -> float: ...

class Spectrum:
    """The spectrum of one channel, as the spectrum window shows it."""

    @property
    def frequency(self) -> npt.NDArray[np.float64]: ...
    @property
    def rms(self) -> npt.NDArray[np.float64]: ...
    @property
    def dbv(self) -> npt.NDArray[np.float64]: ...
    @property
    def bin_width(self) -> float: ...
    @property
    def peaks(self) -> list[Peak]: ...
    @property
    def fundamental(self) -> Optional[Peak]: ...
    @property
    def harmonics(self) -> dict[int, Peak]: ...
    @property
    def thd(self) -> Optional[float]: ...
    @property
    def thd_db(self) -> Optional[float]: ...

class Capture:
    """One loaded capture. Create with kurvex.load()."""

    @property
    def model(self) -> str: ...
    @property
    def time(self) -> npt.NDArray[np.float64]: ...
    @property
    def ch1(self) -> Optional[npt.NDArray[np.float64]]: ...
    @property
    def ch2(self) -> Optional[npt.NDArray[np.float64]]: ...
    @property
    def settings(self) -> dict[str, object]: ...
    @property
    def missing(self) -> dict[str, int]: ...
    def measurements(
        self,
        first: Optional[int] = None,
        last: Optional[int] = None,
        math: Optional[MathDefinition] = None,
    ) -> dict[str, dict[str, Optional[float]]]: ...
    def spectrum(
        self,
        channel: Channel = "ch1",
        window: Window = "hann",
        first: Optional[int] = None,
        last: Optional[int] = None,
        math: Optional[MathDefinition] = None,
    ) -> Spectrum: ...
    def math(
        self,
        operation: str,
        x: Operand = "ch1",
        y: Operand = "ch2",
        scale: Optional[float] = None,
        offset: float = 0.0,
    ) -> npt.NDArray[np.float64]: ...

def load(path: Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]) -> Capture:
    """Loads a .sav capture; raises CaptureError when it cannot."""
    ...
