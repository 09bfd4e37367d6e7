"""The host in real browsers next to a trivial host (tools/piece_echo.cc)
started the same way (host-launcher.sh, pipe_bridge --close, wine64) in the
same run: the sendNativeMessage round trip, and a 60 MB PDF sent as "openPDF"
in 1 MiB pieces (time from the first message to the reply, and the peak
resident memory of the program behind the bridge). Prints a table.

  tools/browser/with-host.sh build/win64/bin python3 bench/browser_bench.py [chromium] [firefox]
"""
import os
import pathlib
import statistics
import sys
import tempfile
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tools"))
from browser.browsers import BROWSERS, HOST_NAME, PageServer, launchers  # noqa: E402
from make_pdf import make_pdf  # noqa: E402

TRIVIAL = "com.vellumix.piece_echo"
PROGRAMS = {HOST_NAME: "VellumixBrowserHost.exe", TRIVIAL: "piece_echo.exe"}
PDF_BYTES = 60_000_000


class PeakMemory:
    """Samples the peak resident size (VmHWM) of every process whose program
    ends with the name, while it runs."""

    def __init__(self, program):
        self.program, self.peak, self.running = program.encode(), 0, True
        self.thread = threading.Thread(target=self.sample, daemon=True)
        self.thread.start()

    def sample(self):
        while self.running:
            for proc in pathlib.Path("/proc").glob("[0-9]*"):
                try:
                    if (proc / "cmdline").read_bytes().split(b"\0")[0].endswith(self.program):
                        for line in (proc / "status").read_text().splitlines():
                            if line.startswith("VmHWM:"):
                                self.peak = max(self.peak, int(line.split()[1]) * 1024)
                except OSError:
                    pass
            time.sleep(0.02)

    def stop(self):
        self.running = False
        self.thread.join()
        return self.peak


def measure(browser, server, host):
    sent = browser.run({"kind": "send", "host": host, "message": {"action": "actGetVersion"}, "repeat": 21})
    if "error" in sent:
        raise RuntimeError(sent["error"])
    memory = PeakMemory(PROGRAMS[host])
    result = browser.run({"kind": "pdf", "host": host, "src": f"{server.base}/bench.pdf", "first": 1 << 20,
                          "size": 1 << 20, "timeoutMs": 600000}, timeout=900)
    peak = memory.stop()
    if result.get("end") != "done":
        raise RuntimeError(f"the transfer ended with {result.get('end') or result}")
    trip = statistics.median(sent["times"][1:])
    return f"{trip:8.1f} ms {result['ms'] / 1000:6.2f} s {PDF_BYTES / result['ms'] / 1e3:7.1f} MB/s {peak / 1e6:9.1f} MB"


def main():
    names = sys.argv[1:] or list(BROWSERS)
    print(f"{'browser':9} {'program':24} {'round trip':>11} {'60 MB in 1 MiB pieces':>22} {'peak memory':>12}")
    with tempfile.TemporaryDirectory(prefix="vlx-bench.") as run_dir:
        run_dir = pathlib.Path(run_dir)
        (run_dir / "bench.pdf").write_bytes(make_pdf(20, PDF_BYTES))
        server = PageServer(run_dir)
        for name in names:
            with BROWSERS[name](run_dir, server, launchers(run_dir, {TRIVIAL: "piece_echo.exe"}),
                                dict(os.environ)) as browser:
                for host in (TRIVIAL, HOST_NAME):
                    try:
                        figures = measure(browser, server, host)
                    except Exception as e:  # the other rows still count
                        figures = f"failed: {e}"
                    print(f"{name:9} {PROGRAMS[host]:24} {figures}", flush=True)
        server.shutdown()


if __name__ == "__main__":
    main()
