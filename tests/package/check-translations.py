#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the English translation.

Every message of translations/kurvex_en.ts has a finished, non-empty translation with the same
FormatText placeholders ("{0Sd5}") and the same leading and trailing spaces as its German
source; and lupdate, run over src/ into a copy of the file, finds no text the file lacks.

    check-translations.py SOURCE_DIR [LUPDATE]

Exit 77 (skipped) when the first part passes but lupdate is not installed.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r"\{[^{}]*\}")


def messages(ts_path):
    """(context, source, translation or None) of every message that the sources still use."""
    for context in ET.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            kind = translation.get("type") if translation is not None else "unfinished"
            if kind in ("obsolete", "vanished"):
                continue
            text = "".join(translation.itertext()) if kind != "unfinished" else None
            yield name, message.findtext("source") or "", text or None


def spaces(text):
    return len(text) - len(text.lstrip(" ")), len(text) - len(text.rstrip(" "))


def faults(ts_path):
    found = []
    for context, source, text in messages(ts_path):
        where = f'{context}: "{source}"'
        if text is None:
            found.append(f"{where} has no English translation")
        elif sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
            found.append(f'{where}: "{text}" has other placeholders')
        elif spaces(source) != spaces(text):
            found.append(f'{where}: "{text}" begins or ends with other spaces')
    return found


def find_lupdate(given):
    candidates = [given, shutil.which("lupdate"), "/usr/lib/qt6/bin/lupdate"]
    return next((c for c in candidates if c and os.access(c, os.X_OK)), None)


def main():
    source_dir = sys.argv[1]
    ts_path = os.path.join(source_dir, "translations", "kurvex_en.ts")
    problems = faults(ts_path)

    lupdate = find_lupdate(sys.argv[2] if len(sys.argv) > 2 else None)
    if lupdate:
        with tempfile.TemporaryDirectory() as scratch:
            copy = os.path.join(scratch, "kurvex_en.ts")
            shutil.copyfile(ts_path, copy)
            subprocess.run([lupdate, "-silent", "-locations", "none",
                            os.path.join(source_dir, "src"), "-ts", copy], check=True)
            # What the copy lacks a translation for and the file had none of: a new text.
            known = {(c, s) for c, s, _ in messages(ts_path)}
            problems += [f'{c}: "{s}" is in the sources but not in translations/kurvex_en.ts'
                         for c, s, t in messages(copy) if t is None and (c, s) not in known]

    for problem in problems:
        print(problem)
    if problems:
        print("run scripts/update-translations.sh and translate what it adds")
        return 1
    if not lupdate:
        print("lupdate is not installed (Debian: qt6-l10n-tools): the sources were not checked")
        return 77
    print(f"ok: {sum(1 for _ in messages(ts_path))} messages, all translated")
    return 0


if __name__ == "__main__":
    sys.exit(main())
