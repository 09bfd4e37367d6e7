#!/usr/bin/env python3
"""Checks docs/protocol.md against the real host under wine64.

  protocol_guide_test.py GUIDE BIN     (BIN: the host, the bridge, the stand-ins)

- Every "exchange" block is replayed, its ">>> " messages written before the
  host starts, and the host's bytes compared with its "<<< " messages. HTML
  comments before a block set the run's environment ("<!-- environment:
  NAME=value ... -->") or the end of the editor's last command line
  ("<!-- editor: text -->").
- What a replay cannot show: a request after the last reply, a held reply.
- The JavaScript client (docs/examples/vellumix-client.js) under Node, its port
  a stand-in that talks to the host through the bridge (native_port.js).
"""
import base64
import io
import json
import os
import re
import select
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import frames  # noqa: E402

WINE = "/usr/lib/wine/wine64"
EDITOR_KEY = r"HKLM\SOFTWARE\Vellumix\PDFEditor"
SAMPLES = os.path.join(HERE, "..", "..", "samples")


def windows_path(unix):
    return "Z:" + os.path.abspath(unix).replace("/", "\\")


def frame(text):
    body = text.encode("utf-8")
    return struct.pack("<I", len(body)) + body


class Setup:
    def __init__(self, guide, bin_folder, scratch):
        self.guide, self.bin, self.log = guide, bin_folder, os.path.join(scratch, "editor.log")
        os.environ["VLX_EDITOR_LOG"] = windows_path(self.log)

    def exe(self, name):
        return windows_path(os.path.join(self.bin, name))

    def register_editor(self, on):
        value = ["/v", "InstallPath", "/t", "REG_SZ", "/d", windows_path(self.bin)] if on else []
        subprocess.run([WINE, "reg", "add" if on else "delete", EDITOR_KEY, *value, "/f"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def editor_line(self):
        """The last command line the editor was started with (waits for one)."""
        for _ in range(100):
            data, at, line = open(self.log, "rb").read() if os.path.exists(self.log) else b"", 0, ""
            while (at + 4 <= len(data)
                   and at + 4 + (n := struct.unpack_from("<I", data, at)[0]) <= len(data)):
                line, at = data[at + 4 : at + 4 + n].decode("utf-8").split("\n", 2)[2], at + 4 + n
            if line:
                return line
            time.sleep(0.1)
        return ""


class Port:
    """The host behind the bridge, its input open until closed: a browser's port."""

    def __init__(self, setup):
        self.process = subprocess.Popen([WINE, setup.exe("pipe_bridge.exe"), "--close",
                                         setup.exe("VellumixBrowserHost.exe")],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)

    def post(self, text):
        self.process.stdin.write(frame(text))
        self.process.stdin.flush()

    def read(self, timeout=60):
        """The next message from the host; None when none came in time or the host ended."""
        if not select.select([self.process.stdout], [], [], timeout)[0]:
            return None
        head = self.process.stdout.read(4)
        return json.loads(self.process.stdout.read(struct.unpack("<I", head)[0])) if head else None


def exchanges(markdown):
    """(line number, comments, messages to the host, messages from it) per block."""
    pattern = re.compile(r"((?:<!-- \w+: .*? -->\n)*)```exchange\n(.*?)```", re.S)
    for match in pattern.finditer(markdown):
        comments = dict(re.findall(r"<!-- (\w+): (.*?) -->", match.group(1)))
        sent, expected = [], []
        for line in match.group(2).splitlines():
            if line.startswith(">>> "):
                sent.append(line[4:])
            elif line.startswith("<<< "):
                expected.append(line[4:])
            else:
                expected[-1] += "\n" + line
        yield markdown.count("\n", 0, match.start(2)), comments, sent, expected


def replay(setup, comments, sent, expected):
    environment = dict(item.split("=", 1) for item in comments.get("environment", "").split())
    run = subprocess.run([WINE, setup.exe("pipe_bridge.exe"), "--preload",
                          setup.exe("VellumixBrowserHost.exe")],
                         input=b"".join(frame(m) for m in sent), stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, env={**os.environ, **environment}, timeout=120)
    if run.stdout != b"".join(frame(m) for m in expected):
        decoded = io.StringIO()
        frames.decode(run.stdout, decoded)
        return "the host wrote\n" + decoded.getvalue()
    return editor_problem(setup, comments.get("editor"))


def editor_problem(setup, expected):
    """expected: the end of the editor's last command line, or "hello.pdf", the
    sample that the file it was given must hold."""
    if not expected:
        return None
    line = setup.editor_line()
    if expected == "hello.pdf":
        path = subprocess.run([WINE, "winepath", "-u", line.rsplit('"', 2)[-2]], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL).stdout.decode().strip()
        if open(path, "rb").read() == open(os.path.join(SAMPLES, "hello.pdf"), "rb").read():
            return None
    elif line.endswith(expected):
        return None
    return f"the editor was started with {line!r}"


def late_request(setup):
    """Its input still open, the host ends once it has answered: a request
    posted after that on the same port finds no reader."""
    port = Port(setup)
    port.post('{"action":"actGetVersion"}')
    first = port.read()
    try:
        code = port.process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        port.process.kill()
        code = "none, it still ran"
    return None if first and first["answer"] == "11.1.1.0" and code == 0 else f"{first}, exit code {code}"


def held_reply(setup):
    setup.register_editor(False)
    port = Port(setup)
    port.post('{"action":"openLocalPDF","localPath":"C:/Users/ann/Report.pdf"}')
    port.post('{"action":"actGetVersion"}')
    closer = subprocess.Popen([WINE, setup.exe("close_message_box.exe"), "Vellumix"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    shown = closer.stdout.readline().decode("utf-8").strip()
    early = port.read(timeout=1)  # nothing while the box is up
    closer.stdin.close()
    closer.wait(timeout=30)
    replies = [port.read(), port.read()]
    port.process.stdin.close()
    setup.register_editor(True)
    if shown != "Vellumix Editor is not found" or early is not None or \
            [r and r["answer"] for r in replies] != ["", "11.1.1.0"]:
        return f"box {shown!r}; while it was up {early}; after it {replies}"
    return None


with open(os.path.join(SAMPLES, "hello.pdf"), "rb") as f:
    HELLO_DATA_URL = "data:application/pdf;base64," + base64.b64encode(f.read()).decode()
MHTML = ('MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary="b"\r\n\r\n--b\r\n'
         "Content-Type: text/html\r\n\r\n<html><body>Saved \U0001F600</body></html>\r\n--b--\r\n")
# (call, environment, what the call printed, what the editor got last)
EXAMPLE_CALLS = [
    ({"fn": "getVersion", "args": [{}]}, {}, {"result": "11.1.1.0"}, None),
    ({"fn": "openPdf", "args": [HELLO_DATA_URL, {"title": "Hello", "url": "https://example.org/h.pdf",
                                                   "pieceSize": 256}]},
     {}, {"result": 0}, "hello.pdf"),
    ({"fn": "openUrls", "args": [["https://example.org/already%20escaped.pdf"], {}]}, {},
     {"result": [0]}, '/A "https://example.org/already%2520escaped.pdf"'),
    ({"fn": "openLocalFile", "args": ["file:///C:/Users/ann/My%20Report.pdf", {}]}, {},
     {"result": 0}, '/A "file:///C:/Users/ann/My Report.pdf"'),
    ({"fn": "convertPage", "args": ["<p>Hello</p>", {"title": "Greeting.html"}]}, {},
     {"result": 0, "progress": [0, 40, 80, 100], "errors": []}, None),
    ({"fn": "convertMhtml", "args": [MHTML, {"title": "Saved", "pieceSize": 101}]}, {},
     {"result": 0, "progress": [0, 40, 80, 100]}, None),
    ({"fn": "convertPage", "args": ["<p>Long</p>", {"title": "Long"}], "cancelOnProgress": True},
     {"VLX_CONVERTER_STEP_MS": "10000"}, {"result": 3, "progress": [0]}, None),
    # A folder stands where the PDF would go: it cannot be written.
    ({"fn": "convertPage", "args": ["<p>Hello</p>", {"title": "Blocked"}], "blockPdf": "Blocked.pdf"},
     {}, {"result": 4, "progress": [0, 40, 80], "errors": [
         "The PDF could not be written: C:\\users\\%s\\Temp\\Vellumix Converter\\Blocked.pdf"]}, None),
    ({"fn": "getVersion", "args": [{}], "host": "NoSuchHost.exe"}, {},
     {"error": "the host went away after 0 of 1 replies: Native host has exited."}, None),
]


def example_call(setup, call, environment, expected, editor):
    if "blockPdf" in call:
        users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
        user = next(name for name in os.listdir(users) if name != "Public")
        os.makedirs(os.path.join(users, user, "Temp", "Vellumix Converter", call["blockPdf"]),
                    exist_ok=True)
        expected = {**expected, "errors": [expected["errors"][0] % user]}
    example = os.path.join(os.path.dirname(os.path.abspath(setup.guide)), "examples", "vellumix-client.js")
    run = subprocess.run(["node", os.path.join(HERE, "native_port.js"), WINE, setup.exe("pipe_bridge.exe"),
                          setup.exe(call.get("host", "VellumixBrowserHost.exe")), example,
                          json.dumps(call)],
                         stdout=subprocess.PIPE, env={**os.environ, **environment}, timeout=120)
    printed = json.loads(run.stdout or "{}")
    if any(printed.get(key) != value for key, value in expected.items()):
        return f"printed {printed}"
    return editor_problem(setup, editor)


def main(guide, bin_folder):
    with tempfile.TemporaryDirectory() as scratch:
        setup = Setup(guide, bin_folder, scratch)
        setup.register_editor(True)
        with open(guide, encoding="utf-8") as f:
            blocks = list(exchanges(f.read()))
        checks = [(f"exchange at line {line}", replay, args) for line, *args in blocks]
        checks += [("a request after the last reply", late_request, ()),
                   ("a reply held by the message box", held_reply, ())]
        checks += [(f"example {call['fn']} {environment}", example_call, (call, environment, expected, editor))
                   for call, environment, expected, editor in EXAMPLE_CALLS]
        failures = 0
        try:
            for name, check, args in checks:
                if os.path.exists(setup.log):
                    os.remove(setup.log)
                problem = check(setup, *args)
                print(("ok    " if problem is None else "FAIL  ") + name + (f": {problem}" if problem else ""))
                failures += problem is not None
        finally:
            setup.register_editor(False)
    print(f"{len(checks)} checks, {len(blocks)} of them exchanges, {failures} failures")
    return 1 if failures or not blocks else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
