#!/usr/bin/env python3
"""The x86_64 test MSIs under wine64: install over an older version
(and an older one refused); each browser's key, the manifest it names and the
program that names, started through Windows pipes; an uninstall that leaves
nothing behind; browsers left out by feature. The same for the per-user package (HKCU). Then, when it has
been built, the shipped 32-bit package: its keys in the 32-bit view only.

  msi_install_test.py MSI OLDER_MSI USER_MSI PIPE_BRIDGE HOST_NAME CHROMIUM_IDS FIREFOX_IDS SHIPPED_MSI

Runs in the prefix of tools/wine-env.sh (WINEPREFIX); the ids are CMake lists.
"""
import json
import os
import re
import struct
import subprocess
import sys

WINE = "/usr/lib/wine/wine64"
PRODUCT = "Vellumix Browser Host (x64 test build)"
BROWSERS = {r"Google\Chrome": "chromium", r"Microsoft\Edge": "chromium", "Chromium": "chromium",
            "Mozilla": "firefox"}  # key under SOFTWARE -> the manifest it names
VERSION_REPLY = b'{\n    "action": "responceDone",\n    "version": 3,\n    "state": 0,\n    "answer": "11.1.1.0"\n}'
failures = []


def expect(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)


def wine(*args, stdin=b""):
    """Exit code and standard output (bytes)."""
    done = subprocess.run([WINE, *args], input=stdin, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return done.returncode, done.stdout


def windows_path(unix):
    return "Z:" + os.path.abspath(unix).replace("/", "\\")


def unix_path(windows):
    drive, rest = windows.split(":", 1)
    return os.path.join(os.environ["WINEPREFIX"], "drive_" + drive.lower(), *rest.strip("\\").split("\\"))


def msiexec(action, msi, *properties):
    return wine("msiexec", action, windows_path(msi), *properties, "/qn")[0] == 0


def manifest_paths(host, root="HKLM", view="64"):
    """Browser -> the default value of its key (None when the key is missing)."""
    paths = {}
    for browser in BROWSERS:
        code, out = wine("reg", "query", f"{root}\\SOFTWARE\\{browser}\\NativeMessagingHosts\\{host}", "/ve",
                         "/reg:" + view)
        values = [line.split("REG_SZ", 1)[1].strip() for line in out.decode().splitlines() if "REG_SZ" in line]
        paths[browser] = (values or [""])[0] if code == 0 else None
    return paths


def installed_versions():
    _, out = wine("reg", "query", r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall", "/s", "/reg:64")
    name = re.compile(r"DisplayName\s+REG_SZ\s+" + re.escape(PRODUCT) + r"\s*$", re.M)
    return re.findall(r"DisplayVersion\s+REG_SZ\s+(\S+)",
                      "".join(key for key in out.decode().split("\nHKEY_") if name.search(key)))


def check_registered(root, folder, host, allowed, bridge):
    """Each browser's key names its manifest in folder; the program beside it answers."""
    for browser, path in manifest_paths(host, root).items():
        kind = BROWSERS[browser]
        expect(bool(path) and f"{folder}\\Browser Host\\{host}.{kind}.json".lower() in path.lower(),
               f"{root}\\{browser} names the {kind} manifest in ...{folder}: {path}")
        if not path:
            continue
        with open(unix_path(path), encoding="utf-8") as f:
            manifest = json.load(f)
        key = "allowed_extensions" if kind == "firefox" else "allowed_origins"
        expect(manifest == {"name": host, "description": "Vellumix browser host", "path": "VellumixBrowserHost.exe",
                            "type": "stdio", key: allowed[kind]}, f"{root}\\{browser}: manifest {manifest}")
        program = path.rsplit("\\", 1)[0] + "\\" + manifest["path"]
        request = b'{"action":"actGetVersion"}'
        _, out = wine(bridge, "--preload", program, stdin=struct.pack("<I", len(request)) + request)
        expect(out == struct.pack("<I", len(VERSION_REPLY)) + VERSION_REPLY,
               f"{root}\\{browser}: the program it names answers \"11.1.1.0\"")


def main(msi, older_msi, user_msi, bridge, host, chromium_ids, firefox_ids, shipped_msi):
    allowed = {"chromium": [f"chrome-extension://{i}/" for i in chromium_ids.split(";")],
               "firefox": firefox_ids.split(";")}
    bridge = windows_path(bridge)

    expect(msiexec("/i", older_msi) and installed_versions() == ["11.1.0.0"], "11.1.0.0 installs")
    expect(msiexec("/i", msi) and installed_versions() == ["11.1.1.0"], "11.1.1.0 replaces it")
    expect(not msiexec("/i", older_msi) and installed_versions() == ["11.1.1.0"], "11.1.0.0 is refused over it")
    check_registered("HKLM", r"C:\Program Files\Vellumix", host, allowed, bridge)
    expect(msiexec("/x", msi) and installed_versions() == [], "uninstalls")

    # Administrators leave browsers out with the standard feature properties.
    for properties, left in ((["ADDLOCAL=ALL", "REMOVE=Firefox"], {"Mozilla"}),
                             (["ADDLOCAL=BrowserHost,Edge"], {r"Google\Chrome", "Chromium", "Mozilla"})):
        paths = manifest_paths(host) if msiexec("/i", msi, *properties) else {}
        expect({b for b, path in paths.items() if path is None} == left and msiexec("/x", msi),
               f"{' '.join(properties)}: no key for {sorted(left)}, the others written")
    expect(not os.path.exists(unix_path(r"C:\Program Files\Vellumix")), r"C:\Program Files\Vellumix is gone")
    expect(set(manifest_paths(host).values()) == {None}, "the four HKLM keys are gone")

    expect(msiexec("/i", user_msi), "per-user package installs")
    check_registered("HKCU", r"\AppData\Local\Vellumix", host, allowed, bridge)
    expect(set(manifest_paths(host).values()) == {None}, "per-user: no HKLM key")
    folder = manifest_paths(host, "HKCU")["Mozilla"] or "C:\\"
    folder = unix_path(folder[: folder.find("\\Vellumix\\") + len("\\Vellumix")])
    expect(msiexec("/x", user_msi) and not os.path.exists(folder), f"per-user: uninstalls, {folder} is gone")
    expect(set(manifest_paths(host, "HKCU").values()) == {None}, "per-user: the four HKCU keys are gone")

    if not os.path.exists(shipped_msi):
        print(f"skip  the shipped package: {shipped_msi} was not built")
    else:
        folder = r"C:\Program Files (x86)\Vellumix"
        expect(msiexec("/i", shipped_msi), "shipped package installs")
        expect(manifest_paths(host, view="32") == {b: f"{folder}\\Browser Host\\{host}.{k}.json" for b, k in
                                                   BROWSERS.items()}, "shipped: the four keys in the 32-bit view")
        expect(set(manifest_paths(host, view="64").values()) == {None}, "shipped: none in the 64-bit view")
        expect(msiexec("/x", shipped_msi) and not os.path.exists(unix_path(folder)),
               f"shipped: uninstalls, {folder} is gone")
        expect(set(manifest_paths(host, view="32").values()) == {None}, "shipped: the four keys are gone")
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 9 or "WINEPREFIX" not in os.environ:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
