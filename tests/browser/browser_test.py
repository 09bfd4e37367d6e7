"""The host driven by a real browser (run.sh sets up Wine and the editor):
one list of scenarios for Chromium and Firefox, each checked at both ends,
what the extension received and what the host left behind (the stand-in
editor's log, the temporary files, the converter's PDF).

  browser_test.py chromium|firefox
"""
import os
import pathlib
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from browser.browsers import BROWSERS, HOST_NAME, PageServer, launchers  # noqa: E402
from make_pdf import make_pdf  # noqa: E402

DONE = {"action": "responceDone", "version": 3, "state": 0, "answer": ""}
VERSION = dict(DONE, answer="11.1.1.0")
DRIVE_C = pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c"
EDITOR = r"C:\Program Files\Vellumix Editor\VLXEditor.exe"
MiB = 1 << 20


def editor_lines():
    log, lines, at = DRIVE_C / "vlx-editor.log", [], 0
    data = log.read_bytes() if log.exists() else b""
    while at + 4 <= len(data):
        (n,) = struct.unpack_from("<I", data, at)
        lines.append(data[at + 4:at + 4 + n].decode().split("\n", 2)[2])
        at += 4 + n
    return lines


def temp_files(pattern):
    return set(DRIVE_C.glob("users/*/**/" + pattern))


def running(*programs):
    """Whether a process of this run's Wine prefix (other runs may share the
    machine) whose command line names one of the programs runs."""
    prefix = b"WINEPREFIX=" + os.environ["WINEPREFIX"].encode()
    for proc in pathlib.Path("/proc").glob("[0-9]*"):
        try:
            args = (proc / "cmdline").read_bytes().split(b"\0")
            ours = prefix in (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if ours and any(arg.endswith(program.encode()) for arg in args for program in programs):
            return True
    return False


def too_long(*_):
    raise TimeoutError("the scenario took too long")


def settle(condition, seconds=10):
    """Waits until the condition holds (the host and the editor run on after
    the reply) and returns whether it did."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


class Scenarios:
    def __init__(self, browser, server, pages):
        self.browser, self.server, self.pages = browser, server, pages

    def run(self, step, **kw):
        result = self.browser.run(dict(step, host=HOST_NAME, **kw))
        assert "error" not in result, result
        return result

    def expect_editor(self, before, argument):
        assert settle(lambda: len(editor_lines()) > len(before)), "the editor was not started"
        # Every editor the host started has recorded its start once neither runs.
        assert settle(lambda: not running("VellumixBrowserHost.exe", "VLXEditor.exe")), "still running"
        assert editor_lines()[len(before):] == [f"{EDITOR} {argument}"], editor_lines()[len(before):]

    def version_one_shot(self):
        assert self.run({"kind": "send", "message": {"action": "actGetVersion"}})["got"] == [VERSION]

    def version_on_port(self):
        result = self.run({"kind": "port", "post": [{"action": "actGetVersion"}]})
        assert (result["got"], result["end"]) == ([VERSION], "done"), result

    def open_pdf(self, name="pages.pdf", first=256 << 10, size=256 << 10):
        before, files = editor_lines(), temp_files("vlx_*.pdf")
        title, url = "Résumé — pages", f"{self.server.base}/{name}"
        result = self.run({"kind": "pdf", "src": url, "first": first, "size": size, "title": title, "url": url})
        text_size = len("data:application/pdf;base64,") + (len(self.pages[name]) + 2) // 3 * 4
        pieces = 1 + max(0, -(-(text_size - first) // size))
        assert result["got"] == ["sendNextData"] * (pieces - 1) + [DONE], result
        new = temp_files("vlx_*.pdf") - files
        assert len(new) == 1, f"{len(new)} new temporary files"
        path = new.pop()
        assert path.read_bytes() == self.pages[name], "the temporary file differs"
        windows_path = "C:\\" + str(path.relative_to(DRIVE_C)).replace("/", "\\")
        self.expect_editor(before, f'/A temp=yes;title="{title}";url="{url}" "{windows_path}"')

    def open_pdf_first_piece_16mib(self):
        self.open_pdf("large.pdf", 16 * MiB, MiB)

    def open_by_url(self):
        before = editor_lines()
        assert self.run({"kind": "port", "post": [{"action": "openByURL", "URL": "https://h/a b?c=d&e"}]})["got"] == [DONE]
        self.expect_editor(before, '/A "https://h/a%20b%3fc%3dd%26e"')

    def open_local_pdf(self):
        before = editor_lines()
        assert self.run({"kind": "port", "post": [{"action": "openLocalPDF", "localPath": "C:/My%20Docs/a.pdf"}]})["got"] == [DONE]
        self.expect_editor(before, '/A "file:///C:/My Docs/a.pdf"')

    def convert(self, post, **kw):
        """Posts the messages with the page's outerHTML as the "htmlText" of
        the "HTMLoPDF" among them."""
        return self.run({"kind": "convert", "src": f"{self.server.base}/page.html", "post": post}, **kw)

    def html_to_pdf(self):
        sources = temp_files("vlx_*.html")
        result = self.convert([{"action": "HTMLoPDF", "title": "Browser page.html"}])
        progress = [m["value"] for m in result["got"][:-1] if m["action"] == "HTML2PDFProgress"]
        assert progress == [0, 40, 80, 100] and result["got"][-1] == DONE, result["got"]
        assert "Quarterly report" in result["htmlText"], "the extension did not get the page"
        pdf = temp_files("Vellumix Converter/Browser page.pdf")
        assert pdf, "no PDF"
        text = subprocess.run(["pdftotext", "-enc", "UTF-8", str(pdf.pop()), "-"], capture_output=True,
                              text=True, check=True).stdout
        assert "Quarterly report" in text and "Zürich" in text, text
        assert temp_files("vlx_*.html") == sources, "the page's temporary file was left"

    def cancel_conversion(self):
        # Each step of the converter waits for the cancel far longer than it takes to come.
        self.step_file.write_text("60000")
        try:
            result = self.convert([{"action": "HTMLoPDF", "title": "Cancelled page.html"}], cancelOnProgress=True)
        finally:
            self.step_file.write_text("0")
        # The reply follows the converter's result: no PDF can come after it.
        assert result["got"][-1] == dict(DONE, state=3), result["got"]
        assert not temp_files("Vellumix Converter/Cancelled page.pdf"), "a PDF was written"

    def disconnect_mid_transfer(self):
        before, files = editor_lines(), temp_files("vlx_*")
        result = self.run({"kind": "pdf", "src": f"{self.server.base}/pages.pdf", "first": 64 << 10,
                           "size": 64 << 10, "disconnectAt": 2})
        assert result["end"] == "disconnected", result
        assert settle(lambda: not running("VellumixBrowserHost.exe", "VLXEditor.exe")), "the host still runs"
        assert temp_files("vlx_*") == files and editor_lines() == before, "the host left something behind"

    def three_requests_on_one_port(self):
        result = self.convert([{"action": "actGetVersion"}, {"action": "HTMLoPDF", "title": "Three.html"},
                               {"action": "actGetVersion"}], replies=3)
        replies = [m for m in result["got"] if m["action"] == "responceDone"]
        assert replies == [VERSION, DONE, VERSION], result["got"]

    def firefox_first_pieces(self):
        # 16 MiB is open_pdf_first_piece_16mib's (Firefox delivers it slowly).
        for first in (64 << 10, MiB, 2 * MiB, 4 * MiB):
            try:
                self.open_pdf("large.pdf", first, MiB)
            except AssertionError as e:
                raise AssertionError(f"first piece of {first} bytes: {e}") from None

    COMMON = [version_one_shot, version_on_port, open_pdf, open_pdf_first_piece_16mib, open_by_url, open_local_pdf,
              html_to_pdf, cancel_conversion, disconnect_mid_transfer, three_requests_on_one_port]
    ONLY = {"firefox": [firefox_first_pieces]}


def main():
    name = sys.argv[1]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))  # still closes the browser
    signal.signal(signal.SIGALRM, too_long)
    with tempfile.TemporaryDirectory(prefix="vlx-browser.") as run_dir:
        run_dir = pathlib.Path(run_dir)
        pages = {"pages.pdf": make_pdf(5, 300_000), "large.pdf": make_pdf(12, 13_000_000)}
        for file, data in pages.items():
            (run_dir / file).write_bytes(data)
        (run_dir / "page.html").write_bytes((pathlib.Path(__file__).parents[2] / "samples/page.html").read_bytes())
        server = PageServer(run_dir)
        failed = 0
        step_file = run_dir / "converter-step-ms"
        with BROWSERS[name](run_dir, server, launchers(run_dir, {}),
                            dict(os.environ, VLX_CONVERTER_STEP_FILE=str(step_file))) as browser:
            scenarios = Scenarios(browser, server, pages)
            scenarios.step_file = step_file
            for scenario in Scenarios.COMMON + Scenarios.ONLY.get(name, []):
                start = time.monotonic()
                signal.alarm(240)  # a scenario stuck anywhere fails, and the others still run
                try:
                    scenario(scenarios)
                    verdict = "ok"
                except Exception as e:  # one scenario's failure does not stop the others
                    failed += 1
                    verdict = f"FAILED: {type(e).__name__}: {e}"[:2000]
                signal.alarm(0)
                print(f"{name:9} {scenario.__name__:28} {time.monotonic() - start:5.1f} s  {verdict}", flush=True)
        server.shutdown()
    print(f"{name}: {failed} of {len(Scenarios.COMMON) + len(Scenarios.ONLY.get(name, []))} scenarios failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
