#!/usr/bin/env python3
"""The x86_64 test MSI under wine64: its tables, install over an older version,
what each browser finds through its registry key, the program started through
Windows pipes, and an uninstall that leaves nothing behind. Then, when it has
been built, the shipped 32-bit package: its keys in the 32-bit view only.

  msi_install_test.py MSI OLDER_MSI PIPE_BRIDGE HOST_NAME CHROMIUM_IDS FIREFOX_IDS SHIPPED_MSI

Runs in the prefix of tools/wine-env.sh (WINEPREFIX); the ids are CMake lists.
"""
import json
import os
import struct
import subprocess
import sys

WINE = "/usr/lib/wine/wine64"
PRODUCT = "Vellumix Browser Host (x64 test build)"
FOLDER = r"C:\Program Files\Vellumix"
BROWSER_KEYS = {  # key under HKLM\SOFTWARE -> the manifest it must name
    r"Google\Chrome": "chromium", r"Microsoft\Edge": "chromium", "Chromium": "chromium",
    "Mozilla": "firefox",
}
VERSION_REPLY = b'{\n    "action": "responceDone",\n    "version": 3,\n    "state": 0,\n    "answer": "11.1.1.0"\n}'


def wine(*args, stdin=b""):
    done = subprocess.run([WINE, *args], input=stdin, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return done.returncode, done.stdout


def windows_path(unix):
    return "Z:" + os.path.abspath(unix).replace("/", "\\")


def unix_path(windows):
    drive, rest = windows.split(":", 1)
    return os.path.join(os.environ["WINEPREFIX"], "drive_" + drive.lower(), *rest.strip("\\").split("\\"))


def default_value(key, view="64"):
    """The default value of HKLM\\key in that view, None when the key is missing."""
    code, out = wine("reg", "query", "HKLM\\" + key, "/ve", "/reg:" + view)
    if code != 0:
        return None
    for line in out.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[1] == "REG_SZ":
            return parts[2]
    return ""


def installed_versions():
    _, out = wine("reg", "query", r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall", "/s", "/reg:64")
    versions, name = [], None
    for line in out.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == "DisplayName":
            name = parts[2]
        elif len(parts) == 3 and parts[0] == "DisplayVersion" and name == PRODUCT:
            versions.append(parts[2])
        elif line.startswith("HKEY_"):
            name = None
    return versions


class Checker:
    def __init__(self):
        self.failures = 0

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        self.failures += 0 if ok else 1
        return ok


def check_tables(check, msi, host_name):
    tables = subprocess.run(["msiinfo", "tables", msi], capture_output=True, text=True).stdout.split()
    for table in ("File", "Component", "Directory", "Registry", "Upgrade", "FeatureComponents"):
        check.expect(table in tables, f"msiinfo tables lists {table}")
    registry = subprocess.run(["msiinfo", "export", msi, "Registry"], capture_output=True, text=True).stdout
    for key in BROWSER_KEYS:
        row = f"\t2\tSOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}\t\t[#"
        check.expect(row in registry, f"Registry table: HKLM\\SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}")
    files = subprocess.run(["msiinfo", "export", msi, "File"], capture_output=True, text=True).stdout
    for name in ("VellumixBrowserHost.exe", f"{host_name}.chromium.json", f"{host_name}.firefox.json"):
        check.expect(name in files, f"File table: {name}")


def check_browser(check, key, kind, host_name, allowed, bridge):
    manifest_path = default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}")
    if not check.expect(bool(manifest_path), f"{key}: key names a manifest ({manifest_path})"):
        return
    check.expect(manifest_path.lower().startswith(FOLDER.lower() + "\\browser host\\"),
                 f"{key}: manifest in {FOLDER}\\Browser Host")
    check.expect(manifest_path.endswith(f".{kind}.json"), f"{key}: the {kind} manifest")
    with open(unix_path(manifest_path), encoding="utf-8") as f:
        manifest = json.load(f)
    allowed_key = "allowed_extensions" if kind == "firefox" else "allowed_origins"
    check.expect(manifest.get("name") == host_name and manifest.get("type") == "stdio",
                 f"{key}: name and type \"stdio\"")
    check.expect(manifest.get(allowed_key) == allowed, f"{key}: {allowed_key} {allowed}")
    check.expect(manifest.get("path") == "VellumixBrowserHost.exe", f"{key}: path beside the manifest")
    program = manifest_path.rsplit("\\", 1)[0] + "\\" + manifest.get("path", "")
    request = b'{"action":"actGetVersion"}'
    _, out = wine(bridge, "--preload", program, stdin=struct.pack("<I", len(request)) + request)
    check.expect(out == struct.pack("<I", len(VERSION_REPLY)) + VERSION_REPLY,
                 f"{key}: the program it names answers \"11.1.1.0\"")


def check_shipped(check, msi, host_name):
    folder = r"C:\Program Files (x86)\Vellumix"
    check.expect(wine("msiexec", "/i", windows_path(msi), "/qn")[0] == 0, "shipped package installs")
    for key, kind in BROWSER_KEYS.items():
        key = f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}"
        check.expect(default_value(key, "32") == f"{folder}\\Browser Host\\{host_name}.{kind}.json"
                     and default_value(key, "64") is None, f"shipped: {key} in the 32-bit view only")
    check.expect(os.path.exists(unix_path(folder + r"\Browser Host\VellumixBrowserHost.exe")),
                 f"shipped: program in {folder}")
    check.expect(wine("msiexec", "/x", windows_path(msi), "/qn")[0] == 0, "shipped package uninstalls")
    check.expect(not os.path.exists(unix_path(folder)), f"shipped: {folder} is gone")
    for key in BROWSER_KEYS:
        check.expect(default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}", "32") is None,
                     f"shipped: {key} key is gone")


def main(msi, older_msi, bridge, host_name, chromium_ids, firefox_ids, shipped_msi):
    check = Checker()
    allowed = {"chromium": [f"chrome-extension://{i}/" for i in chromium_ids.split(";")],
               "firefox": firefox_ids.split(";")}
    check_tables(check, msi, host_name)
    bridge = windows_path(bridge)

    check.expect(wine("msiexec", "/i", windows_path(older_msi), "/qn")[0] == 0, "older version installs")
    check.expect(installed_versions() == ["11.1.0.0"], f"installed: {installed_versions()}")
    check.expect(wine("msiexec", "/i", windows_path(msi), "/qn")[0] == 0, "new version installs over it")
    check.expect(installed_versions() == ["11.1.1.0"], f"the older one was replaced: {installed_versions()}")
    check.expect(wine("msiexec", "/i", windows_path(older_msi), "/qn")[0] != 0
                 and installed_versions() == ["11.1.1.0"], "the older version is refused over the newer")
    for key, kind in BROWSER_KEYS.items():
        check_browser(check, key, kind, host_name, allowed[kind], bridge)

    check.expect(wine("msiexec", "/x", windows_path(msi), "/qn")[0] == 0, "uninstalls")
    check.expect(installed_versions() == [], "no version left installed")
    check.expect(not os.path.exists(unix_path(FOLDER)), f"{FOLDER} is gone")
    for key in BROWSER_KEYS:
        check.expect(default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}") is None,
                     f"{key}: key is gone")
    if os.path.exists(shipped_msi):
        check_shipped(check, shipped_msi, host_name)
    else:
        print(f"skip  the shipped package: {shipped_msi} was not built")
    print(f"{check.failures} failures")
    return 1 if check.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 8 or "WINEPREFIX" not in os.environ:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
