# SPDX-License-Identifier: GPL-3.0-or-later
# The module against kurvex-cli: ctest sets PYTHONPATH to the built module and KURVEX_CLI to
# the tool of the same build.
import os
import pathlib
import subprocess

import pytest

EXAMPLES = sorted((pathlib.Path(__file__).parents[2] / "examples").glob("*.sav"))


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("KURVEX_CLI")
    assert path, "KURVEX_CLI must name the kurvex-cli of this build"

    def run(*args, check=True):
        done = subprocess.run([path, *map(os.fsencode, args)], capture_output=True)
        if check:
            assert done.returncode == 0, done.stderr
        return done

    return run
