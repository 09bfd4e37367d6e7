#!/usr/bin/env python3
"""The x86_64 test MSI under wine64: its tables, install over an older version,
what each browser finds through its registry key, the program started through
Windows pipes, and an uninstall that leaves nothing behind; the same for the
per-user package with HKCU keys. Then, when it has been built, the shipped
32-bit package: its keys in the 32-bit view only.

  msi_install_test.py MSI OLDER_MSI USER_MSI PIPE_BRIDGE HOST_NAME CHROMIUM_IDS FIREFOX_IDS SHIPPED_MSI

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
USER_FOLDER = r"\AppData\Local\Vellumix"  # in the user's profile
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


def default_value(key, view="64", root="HKLM"):
    """The default value of root\\key in that view, None when the key is missing."""
    code, out = wine("reg", "query", root + "\\" + key, "/ve", "/reg:" + view)
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


def check_browser(check, root, key, kind, host_name, allowed, bridge, folder):
    manifest_path = default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}", root=root)
    key = f"{root}\\{key}"
    if not check.expect(bool(manifest_path), f"{key}: key names a manifest ({manifest_path})"):
        return
    check.expect((folder + "\\browser host\\").lower() in manifest_path.lower(),
                 f"{key}: manifest in ...{folder}\\Browser Host")
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


def check_per_user(check, msi, host_name, allowed, bridge):
    check.expect(wine("msiexec", "/i", windows_path(msi), "/qn")[0] == 0, "per-user package installs")
    for key, kind in BROWSER_KEYS.items():
        check_browser(check, "HKCU", key, kind, host_name, allowed[kind], bridge, USER_FOLDER)
        check.expect(default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}") is None,
                     f"per-user: no HKLM\\{key} key")
    manifest = default_value(f"SOFTWARE\\Mozilla\\NativeMessagingHosts\\{host_name}", root="HKCU") or ""
    folder = unix_path(manifest[: manifest.lower().find(USER_FOLDER.lower()) + len(USER_FOLDER)])
    check.expect(wine("msiexec", "/x", windows_path(msi), "/qn")[0] == 0, "per-user package uninstalls")
    check.expect(manifest != "" and not os.path.exists(folder), f"per-user: {folder} is gone")
    for key in BROWSER_KEYS:
        check.expect(default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}", root="HKCU") is None,
                     f"per-user: HKCU\\{key} key is gone")


def main(msi, older_msi, user_msi, bridge, host_name, chromium_ids, firefox_ids, shipped_msi):
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
        check_browser(check, "HKLM", key, kind, host_name, allowed[kind], bridge, FOLDER)

    check.expect(wine("msiexec", "/x", windows_path(msi), "/qn")[0] == 0, "uninstalls")
    check.expect(installed_versions() == [], "no version left installed")
    check.expect(not os.path.exists(unix_path(FOLDER)), f"{FOLDER} is gone")
    for key in BROWSER_KEYS:
        check.expect(default_value(f"SOFTWARE\\{key}\\NativeMessagingHosts\\{host_name}") is None,
                     f"{key}: key is gone")
    check_per_user(check, user_msi, host_name, allowed, bridge)
    if os.path.exists(shipped_msi):
        check_shipped(check, shipped_msi, host_name)
    else:
        print(f"skip  the shipped package: {shipped_msi} was not built")
    print(f"{check.failures} failures")
    return 1 if check.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 9 or "WINEPREFIX" not in os.environ:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
