"""Starts Chromium or Firefox with the test extension (tests/browser/extension)
loaded and native-messaging hosts registered, and runs the extension's steps
(runOp in agent.js). Chromium is driven over the DevTools pipe (fds 3 and 4),
Firefox over Marionette, its extension long-polling a local HTTP server that
also serves the test pages."""
import base64
import hashlib
import http.server
import json
import os
import pathlib
import queue
import select
import shutil
import signal
import socket
import subprocess
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXTENSION = ROOT / "tests/browser/extension"
LAUNCHER = ROOT / "tools/browser/host-launcher.sh"
HOST_NAME = "com.vellumix.browser_host"


def host_manifest(name, path, allowed_key, allowed):
    text = (ROOT / "packaging/host-manifest.json.in").read_text()
    for placeholder, value in (("@VLX_HOST_NAME@", name), ("@VLX_HOST_PATH@", json.dumps(str(path))[1:-1]),
                               ("@VLX_ALLOWED_KEY@", allowed_key),
                               ("@VLX_ALLOWED_LIST@", ", ".join(json.dumps(a) for a in allowed))):
        text = text.replace(placeholder, value)
    return text


def launchers(run_dir, programs):
    """{host name: launcher}: the host under its own name, and each other
    program (e.g. a trivial host) behind a wrapper naming it."""
    found = {HOST_NAME: LAUNCHER}
    for name, program in programs.items():
        wrapper = run_dir / f"{name}.sh"
        wrapper.write_text(f'#!/bin/sh\nVLX_HOST_PROGRAM={program} exec "{LAUNCHER}" "$@"\n')
        wrapper.chmod(0o755)
        found[name] = wrapper
    return found


def register(folder, hosts, allowed_key, allowed):
    folder.mkdir(parents=True, exist_ok=True)
    for name, path in hosts.items():
        (folder / f"{name}.json").write_text(host_manifest(name, path, allowed_key, [allowed]))


def assemble_extension(target, manifest, extra=()):
    target.mkdir(parents=True)
    shutil.copy(EXTENSION / manifest, target / "manifest.json")
    for name in ("agent.js",) + tuple(extra):
        shutil.copy(EXTENSION / name, target / name)
    return target


class PageServer(http.server.ThreadingHTTPServer):
    """Serves the files of a folder on 127.0.0.1, and the long-poll channel:
    GET /next hands out the next step (204 after 10 s without one), POST
    /result takes back what the extension saw."""

    def __init__(self, folder):
        self.folder, self.steps, self.results = str(folder), queue.Queue(), queue.Queue()
        super().__init__(("127.0.0.1", 0), Handler)
        self.daemon_threads = True
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def base(self):
        return f"http://127.0.0.1:{self.server_port}"


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=args[2].folder, **kwargs)

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path != "/next":
            return super().do_GET()
        try:
            body = json.dumps(self.server.steps.get(timeout=10)).encode()
        except queue.Empty:
            self.send_response(204)
            self.end_headers()
            return
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        self.server.results.put(json.loads(self.rfile.read(int(self.headers["Content-Length"]))))
        self.send_response(204)
        self.end_headers()


class Browser:
    def started(self, attach):
        """Attaches to the browser that was just started, or ends it."""
        try:
            attach()
        except BaseException:
            self.stop()
            raise

    def stop(self):
        """Ends the browser and everything it started that is still running."""
        try:
            self.quit()
            self.process.wait(timeout=10)
        except Exception:
            pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def chromium_id(key):
    digest = hashlib.sha256(base64.b64decode(key)).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


class Chromium(Browser):
    name = "chromium"

    def __init__(self, run_dir, server, hosts, env, headless=True):
        run_dir = run_dir / "chromium"
        extension = assemble_extension(run_dir / "extension", "chromium.json")
        origin = f"chrome-extension://{chromium_id(json.loads((extension / 'manifest.json').read_text())['key'])}/"
        profile = run_dir / "profile"
        register(profile / "NativeMessagingHosts", hosts, "allowed_origins", origin)
        commands, self.to_browser = os.pipe()
        self.from_browser, replies = os.pipe()

        def pipe_fds():
            os.dup2(commands, 3)
            os.dup2(replies, 4)

        self.process = subprocess.Popen(
            ["/usr/lib/chromium/chromium", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-quic", f"--user-data-dir={profile}", f"--load-extension={extension}",
             "--remote-debugging-pipe"] + (["--headless=new"] if headless else []),
            env=env, stdin=subprocess.DEVNULL, stdout=open(run_dir / "browser.log", "wb"),
            stderr=subprocess.STDOUT, preexec_fn=pipe_fds, pass_fds=(3, 4), start_new_session=True)
        os.close(commands)
        os.close(replies)
        self.next_id, self.buffer = 0, b""
        self.session = None
        self.started(lambda: self.attach(origin))

    def attach(self, origin):
        self.call("Target.setDiscoverTargets", discover=True)
        worker = self.wait_for(lambda: [t for t in self.call("Target.getTargets")["targetInfos"]
                                        if t["type"] == "service_worker" and t["url"].startswith(origin)])
        self.session = self.call("Target.attachToTarget", targetId=worker[0]["targetId"], flatten=True)["sessionId"]
        self.wait_for(lambda: self.evaluate("typeof runOp") == "function")

    def wait_for(self, found, seconds=30):
        deadline = time.monotonic() + seconds
        while not (result := found()):
            if time.monotonic() > deadline:
                raise TimeoutError("Chromium: the extension's worker did not start")
            time.sleep(0.1)
        return result

    def call(self, method, timeout=30, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if self.session and method.startswith("Runtime."):
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            while b"\0" in self.buffer:
                text, self.buffer = self.buffer.split(b"\0", 1)
                reply = json.loads(text)
                if reply.get("id") == self.next_id:
                    if "error" in reply:
                        raise RuntimeError(f"{method}: {reply['error']}")
                    return reply["result"]
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise TimeoutError(f"Chromium: no answer to {method}")
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium closed its DevTools pipe")
            self.buffer += chunk

    def evaluate(self, expression, timeout=30):
        result = self.call("Runtime.evaluate", timeout=timeout, expression=expression,
                           awaitPromise=True, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError(result["exceptionDetails"].get("text"))
        return result["result"].get("value")

    def run(self, step, timeout=120):
        return json.loads(self.evaluate(f"runOp({json.dumps(step)}).then(JSON.stringify)", timeout))

    def quit(self):
        self.call("Browser.close", timeout=5)


class Firefox(Browser):
    name = "firefox"
    ADDON_ID = "host-test@vellumix.test"
    PREFS = {"marionette.port": 0, "browser.shell.checkDefaultBrowser": False,
             "browser.startup.homepage_override.mstone": "ignore", "startup.homepage_welcome_url": "",
             "datareporting.policy.dataSubmissionEnabled": False, "toolkit.telemetry.enabled": False,
             "toolkit.telemetry.reportingpolicy.firstRun": False, "app.update.disabledForTesting": True,
             "app.update.auto": False, "services.settings.server": "http://127.0.0.1:9/",
             "browser.safebrowsing.malware.enabled": False, "browser.safebrowsing.phishing.enabled": False,
             "browser.safebrowsing.downloads.enabled": False, "network.connectivity-service.enabled": False,
             "network.captive-portal-service.enabled": False, "extensions.update.enabled": False}

    def __init__(self, run_dir, server, hosts, env, headless=True):
        run_dir = run_dir / "firefox"
        extension = assemble_extension(run_dir / "extension", "firefox.json", ("firefox-poll.js",))
        (extension / "driver.js").write_text(f"const DRIVER = {json.dumps(server.base)};\n")
        home, profile = run_dir / "home", run_dir / "profile"
        register(home / ".mozilla/native-messaging-hosts", hosts, "allowed_extensions", self.ADDON_ID)
        profile.mkdir()
        (profile / "user.js").write_text("".join(f"user_pref({json.dumps(k)}, {json.dumps(v)});\n"
                                                 for k, v in self.PREFS.items()))
        self.server = server
        self.process = subprocess.Popen(
            ["firefox-esr", "-no-remote", "-profile", str(profile), "-marionette", "-remote-allow-system-access",
             "about:blank"] + (["-headless"] if headless else []),
            env=dict(env, HOME=str(home)), stdin=subprocess.DEVNULL, stdout=open(run_dir / "browser.log", "wb"),
            stderr=subprocess.STDOUT, start_new_session=True)
        self.started(lambda: self.attach(profile, extension))

    def attach(self, profile, extension):
        port_file, deadline = profile / "MarionetteActivePort", time.monotonic() + 60
        while not (port_file.exists() and port_file.read_text().strip()):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise TimeoutError("Firefox: Marionette did not start")
            time.sleep(0.2)
        self.marionette = socket.create_connection(("127.0.0.1", int(port_file.read_text())), timeout=60)
        self.next_id, self.buffer = 0, b""
        self.receive()  # the greeting
        self.call("WebDriver:NewSession", capabilities={})
        self.call("Addon:Install", path=str(extension), temporary=True)

    def receive(self):
        while b":" not in self.buffer:
            self.buffer += self.marionette.recv(65536)
        length, rest = self.buffer.split(b":", 1)
        while len(rest) < int(length):
            rest += self.marionette.recv(65536)
        self.buffer = rest[int(length):]
        return json.loads(rest[:int(length)])

    def call(self, command, **params):
        self.next_id += 1
        body = json.dumps([0, self.next_id, command, params]).encode()
        self.marionette.sendall(str(len(body)).encode() + b":" + body)
        while True:
            kind, number, error, result = self.receive()
            if number == self.next_id:
                if error:
                    raise RuntimeError(f"{command}: {error}")
                return result

    def run(self, step, timeout=120):
        self.next_step = getattr(self, "next_step", 0) + 1
        self.server.steps.put(dict(step, number=self.next_step))
        deadline = time.monotonic() + timeout
        while True:  # a result that came after its step's time-out is dropped
            result = self.server.results.get(timeout=max(0.1, deadline - time.monotonic()))
            if result.pop("number", None) == self.next_step:
                return result

    def quit(self):
        self.call("Marionette:Quit", flags=["eForceQuit"])


BROWSERS = {"chromium": Chromium, "firefox": Firefox}


if __name__ == "__main__":
    # By hand: browsers.py chromium|firefox [folder to serve], inside
    # with-host.sh; reads one step per line (see runOp in agent.js) and prints
    # what the extension saw.
    import sys
    if len(sys.argv) not in (2, 3) or sys.argv[1] not in BROWSERS:
        sys.exit("usage: browsers.py chromium|firefox [folder to serve]")
    import tempfile
    with tempfile.TemporaryDirectory(prefix="vlx-browser.") as run_dir:
        server = PageServer(sys.argv[2] if len(sys.argv) > 2 else ROOT / "samples")
        with BROWSERS[sys.argv[1]](pathlib.Path(run_dir), server, launchers(pathlib.Path(run_dir), {}),
                                   dict(os.environ)) as browser:
            print(f"{browser.name} is ready; pages at {server.base}/. One step per line, e.g.\n"
                  '  {"kind": "send", "message": {"action": "actGetVersion"}}', file=sys.stderr)
            for line in sys.stdin:
                if line.strip():
                    print(json.dumps(browser.run(dict({"host": HOST_NAME}, **json.loads(line))),
                                     ensure_ascii=False), flush=True)
