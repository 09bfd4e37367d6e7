#!/usr/bin/env python3
"""VellumixBrowserHost.exe --diagnose under wine64 after installing the x86_64
test MSI (with the converter beside the host and the stand-in editor
registered): the working install exits 0 with every browser registered; then
each fault alone is one problem line with its fix and exit 1, in both forms.
Last, the one-line hint for a console start, and none with a pipe as input.

  diagnose_test.py MSI USER_MSI CONVERTER_EXE EDITOR_EXE

Runs in the prefix of tools/wine-env.sh (WINEPREFIX).
"""
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from msi_install_test import WINE, expect, failures, msiexec, unix_path, wine  # noqa: E402

MACHINE_DIR = r"C:\Program Files\Vellumix\Browser Host"
HOST = "com.vellumix.browser_host"
EDITOR_KEY = r"HKLM\SOFTWARE\Vellumix\PDFEditor"
CHROME_POLICIES = r"HKLM\SOFTWARE\Policies\Google\Chrome"
BROWSERS = ["Chrome", "Edge", "Chromium", "Firefox", "Brave", "Vivaldi"]


def reg(*args):
    return wine("reg", *args, "/f", "/reg:64")[0] == 0


def diagnose(folder, json_form=False, tmp=None):
    """Exit code and output of the installed host's check."""
    command = f'cd /d {folder}&& VellumixBrowserHost.exe --diagnose{" --json" if json_form else ""}'
    if tmp:
        command = f"set TMP={tmp}&& " + command
    code, out = wine("cmd", "/c", command)
    return code, out.decode("utf-8")


class Machine:
    def __init__(self, msi, user_msi, converter, editor):
        self.msi, self.user_msi, self.converter = msi, user_msi, converter
        self.folder = MACHINE_DIR
        self.chromium = unix_path(f"{MACHINE_DIR}\\{HOST}.chromium.json")
        self.firefox = unix_path(f"{MACHINE_DIR}\\{HOST}.firefox.json")
        editor_dir = unix_path(r"C:\Program Files\Vellumix Editor")
        os.makedirs(editor_dir, exist_ok=True)
        shutil.copy(editor, editor_dir)
        self.register_editor()

    def register_editor(self):
        return reg("add", EDITOR_KEY, "/v", "InstallPath", "/t", "REG_SZ", "/d", r"C:\Program Files\Vellumix Editor")

    def install(self, msi, folder):
        self.folder = folder
        ok = msiexec("/i", msi)
        shutil.copy(self.converter, unix_path(folder))  # the suite's own installer puts it there
        return ok

    def edit_manifest(self, change, path=None):
        path = path or self.chromium
        with open(path, "rb") as f:
            original = f.read()
        with open(path, "wb") as f:
            f.write(change(original))
        return lambda: open(path, "wb").write(original)

    def move(self, path):
        os.rename(path, path + ".moved")
        return lambda: os.rename(path + ".moved", path)

    def manifest_with(self, key, value):
        def change(original):
            manifest = json.loads(original)
            manifest[key] = value
            return json.dumps(manifest).encode()
        return self.edit_manifest(change)

    def per_user_only(self):
        """The per-user package instead of the per-machine one; user-level hosts off for Chrome."""
        msiexec("/x", self.msi)
        local = wine("cmd", "/c", "echo %LOCALAPPDATA%")[1].decode().strip()
        self.install(self.user_msi, local + r"\Vellumix\Browser Host")
        reg("add", CHROME_POLICIES, "/v", "NativeMessagingUserLevelHosts", "/t", "REG_DWORD", "/d", "0")

        def undo():
            reg("delete", r"HKLM\SOFTWARE\Policies\Google")
            msiexec("/x", self.user_msi)
            self.install(self.msi, MACHINE_DIR)
        return undo


# Each fault: its name, how to make it (returns the undo, or the TMP to run
# with), and what its problem line says.
FAULTS = [
    ("the manifest is missing", lambda m: m.move(m.chromium), "does not exist: the browser says"),
    ('"path" names another file', lambda m: m.manifest_with("path", "VereZeDid2Uza.x86.exe"),
     "which is not the host program"),
    ('"name" is wrong', lambda m: m.manifest_with("name", "com.vellumix.other"), '"name" "com.vellumix.other"'),
    # Chrome skips a byte-order mark; Firefox does not.
    ("the manifest has a BOM", lambda m: m.edit_manifest(lambda text: b"\xef\xbb\xbf" + text, m.firefox),
     "byte-order mark: Firefox cannot parse it"),
    ('"allowed_origins" is empty', lambda m: m.manifest_with("allowed_origins", []), 'no "allowed_origins" list'),
    ("Chrome's blocklist is *",
     lambda m: reg("add", CHROME_POLICIES + r"\NativeMessagingBlocklist", "/v", "1", "/d", "*") and
     (lambda: reg("delete", r"HKLM\SOFTWARE\Policies\Google")), "NativeMessagingBlocklist"),
    ("user-level hosts off, only the per-user package", lambda m: m.per_user_only(),
     "= 0 makes the browser ignore it"),
    ("the editor is not registered", lambda m: reg("delete", EDITOR_KEY) and m.register_editor,
     "not registered (HKLM\\SOFTWARE\\Vellumix\\PDFEditor"),
    ("the converter is missing", lambda m: m.move(unix_path(m.folder + r"\VereZeDid2Uza.x86.exe")),
     "page conversions fail"),
    ("the temporary folder cannot be written", lambda m: r"C:\vlx-tmp-is-a-file", "cannot be written"),
]


def check_fault(machine, name, make, text):
    undo = make(machine)
    tmp = undo if isinstance(undo, str) else None
    if tmp:
        open(unix_path(tmp), "w").close()
    code, out = diagnose(machine.folder, tmp=tmp)
    lines = [line for line in out.splitlines() if line.startswith("PROBLEM")]
    expect(code == 1 and len(lines) == 1 and text in lines[0] and " Fix: " in lines[0],
           f"{name}: exit {code}, {lines}")
    code, out = diagnose(machine.folder, json_form=True, tmp=tmp)
    report = json.loads(out)
    problems = [f for f in report["findings"] if f["verdict"] == "problem"]
    expect(code == 1 and not report["canWork"] and report["problems"] == 1 and text in problems[0]["text"] and
           problems[0]["fix"], f"{name}: JSON {problems}")
    if not tmp:
        undo()


def check_console_hint(host):
    hint = "--diagnose"
    done = subprocess.run(["script", "-qc", f"{WINE} '{host}'", "/dev/null"], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    # The console wraps long lines: compare without line breaks.
    expect(done.returncode == 0 and hint in done.stdout.decode(errors="replace").replace("\r\n", ""),
           "a console as input: the hint, exit 0")
    done = subprocess.run([WINE, host], input=b"", capture_output=True, timeout=60)
    expect(done.returncode == 0 and done.stdout == b"" and done.stderr == b"", "a pipe as input: no output")


def main(msi, user_msi, converter, editor):
    machine = Machine(msi, user_msi, converter, editor)
    expect(machine.install(msi, MACHINE_DIR), "the per-machine test package installs")
    code, out = diagnose(MACHINE_DIR)
    print(out)
    expect(code == 0 and "PROBLEM" not in out, f"working install: exit {code}, no problem")
    code, out = diagnose(MACHINE_DIR, json_form=True)
    report = json.loads(out)
    expect(code == 0 and report["canWork"] and
           all(report["browsers"][b]["state"] == "registered" for b in BROWSERS),
           f"working install, JSON: every browser registered: {report['browsers']}")
    for fault in FAULTS:
        check_fault(machine, *fault)
    expect(diagnose(MACHINE_DIR)[0] == 0, "every fault undone: exit 0 again")
    check_console_hint(unix_path(MACHINE_DIR + r"\VellumixBrowserHost.exe"))
    msiexec("/x", msi)
    reg("delete", EDITOR_KEY)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 5 or "WINEPREFIX" not in os.environ:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
