#!/usr/bin/env python3
"""Replays every example exchange of docs/protocol.md against the real host
under wine64 and compares the bytes it writes with the guide's.

  protocol_guide_test.py GUIDE PIPE_BRIDGE HOST_EXE EDITOR_FOLDER

An exchange is a fenced block with the info string "exchange": a line
">>> text" is one message to the host, "<<< text" begins one from the host,
whose text goes on over the following lines up to the next marker. All
messages to the host are written before it starts (requests already waiting).
An HTML comment "<!-- environment: NAME=value ... -->" right before a block
sets variables for that run. The stand-in editor in EDITOR_FOLDER is
registered for the run, as the open requests need one.
"""
import io
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import frames  # noqa: E402

WINE = "/usr/lib/wine/wine64"
EDITOR_KEY = r"HKLM\SOFTWARE\Vellumix\PDFEditor"


def windows_path(unix):
    return "Z:" + os.path.abspath(unix).replace("/", "\\")


def frame(text):
    body = text.encode("utf-8")
    return struct.pack("<I", len(body)) + body


def exchanges(markdown):
    """(line number, environment, messages to the host, messages from it) per block."""
    pattern = re.compile(r"(?:<!-- environment: (.*?) -->\n)?```exchange\n(.*?)```", re.S)
    for match in pattern.finditer(markdown):
        environment = dict(item.split("=", 1) for item in (match.group(1) or "").split())
        sent, expected = [], []
        for line in match.group(2).splitlines():
            if line.startswith(">>> "):
                sent.append(line[4:])
            elif line.startswith("<<< "):
                expected.append(line[4:])
            else:
                expected[-1] += "\n" + line
        yield markdown.count("\n", 0, match.start()) + 1, environment, sent, expected


def main(guide, bridge, host, editor_folder):
    subprocess.run([WINE, "reg", "add", EDITOR_KEY, "/v", "InstallPath", "/t", "REG_SZ",
                    "/d", windows_path(editor_folder), "/f"], stdout=subprocess.DEVNULL, check=True)
    failures = count = 0
    try:
        with open(guide, encoding="utf-8") as f:
            blocks = list(exchanges(f.read()))
        for line, environment, sent, expected in blocks:
            count += 1
            run = subprocess.run([WINE, windows_path(bridge), "--preload", windows_path(host)],
                                 input=b"".join(frame(m) for m in sent), stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, env={**os.environ, **environment}, timeout=120)
            want = b"".join(frame(m) for m in expected)
            if run.stdout == want:
                print(f"ok    exchange at line {line}")
                continue
            failures += 1
            decoded = io.StringIO()
            frames.decode(run.stdout, decoded)
            print(f"FAIL  exchange at line {line}: the host wrote\n{decoded.getvalue()}")
    finally:
        subprocess.run([WINE, "reg", "delete", EDITOR_KEY, "/f"], stdout=subprocess.DEVNULL)
    print(f"{count} exchanges, {failures} failures")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
