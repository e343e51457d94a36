#!/usr/bin/python3
"""One browser test: the built plug-in in QtWebKit on a private Xvfb display, the X clipboard
filled by xclip, uploads going to `quillon serve` (or a server that stalls).

  browser_case.py --build DIR [--corpus DIR] CASE

Every process started here (Xvfb, xclip, servers, the runner) is ended on the way out, and
the temporary folder removed. Exit status 0 when the case passed.
"""

import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
RUNNER = os.path.join(SOURCE, "tools", "runner", "quillon_runner.py")
CLIPSAMPLE = os.path.join(SOURCE, "tools", "runner", "clipsample.py")
DEMO = os.path.join(SOURCE, "tools", "demo", "index.html")
PAGES = os.path.join(HERE, "pages")
PYTHON = "/usr/bin/python3"
WORD_DOCUMENT = "word/ck4_unsupported-formats_word365mac_chrome.html"
EXCEL_DOCUMENT = "excel/ck4_table_excel365_datatransfer.html"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Session:
    """The processes of one case, ended in reverse order by close()."""

    def __init__(self, build, corpus):
        self.build = os.path.abspath(build)
        self.corpus = corpus
        self.work = tempfile.mkdtemp(prefix="quillon-browser-")
        self.processes = []
        self.env = dict(os.environ)
        # A home of its own: no plug-ins or caches of the user's, none shared between cases.
        home = os.path.join(self.work, "home")
        os.makedirs(home, mode=0o700)
        self.env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                        XDG_CACHE_HOME=os.path.join(home, "cache"),
                        XDG_RUNTIME_DIR=home, QUILLON_CORPUS_DIR=corpus)
        self.env.pop("QTWEBKIT_PLUGIN_PATH", None)
        self.env.pop("MOZ_PLUGIN_PATH", None)

    def start(self, argv, **kwargs):
        process = subprocess.Popen(argv, env=self.env, **kwargs)
        self.processes.append(process)
        return process

    def start_display(self):
        """A private Xvfb; -displayfd picks a free display without racing other tests."""
        read_end, write_end = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                    "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 30
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        check(number.strip().isdigit(), "Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def start_upload_server(self):
        uploads = os.path.join(self.work, "uploads")
        process = self.start([os.path.join(self.build, "quillon"), "serve", "--dir", uploads],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = process.stdout.readline().decode().strip()
        check(line.isdigit(), "the upload server did not start")
        return "http://127.0.0.1:%s/upload" % line, uploads

    def offer(self, target, path):
        """Makes xclip the owner of CLIPBOARD with one target; it answers from the foreground
        until it is ended."""
        self.start(["xclip", "-quiet", "-selection", "clipboard", "-t", target, "-i", path],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The owner is in place once xclip answers a TARGETS request.
        deadline = time.time() + 10
        while time.time() < deadline:
            probe = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"],
                                   env=self.env, capture_output=True, timeout=10)
            if target.encode() in probe.stdout:
                return
            time.sleep(0.1)
        raise Failure("xclip did not take the clipboard")

    def sample(self, *args):
        out = subprocess.run([PYTHON, CLIPSAMPLE] + list(args), env=self.env,
                             capture_output=True, timeout=60, check=True)
        return out.stdout.decode().strip()

    def run_page(self, page, query="", timeout=90, screenshot=None):
        """Runs the runner on `page`; returns (exit code, console lines)."""
        target = page + ("?" + query if query else "")
        argv = [PYTHON, RUNNER, "--plugin-dir", self.build, "--require-plugin",
                "--timeout", str(timeout), target]
        if screenshot:
            argv[2:2] = ["--screenshot", screenshot]
        process = self.start(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            output, _ = process.communicate(timeout=timeout + 60)
        except subprocess.TimeoutExpired:
            process.kill()
            output, _ = process.communicate()
            raise Failure("the browser hung:\n" + output.decode("utf-8", "replace"))
        text = output.decode("utf-8", "replace")
        sys.stdout.write(text)
        lines = text.splitlines()
        plugin = [l for l in lines if l.startswith("runner: application/npQuillon registered by")]
        if plugin:
            expected = os.path.join(self.build, "libnpQuillon.so")
            check(plugin[0].endswith(" " + expected),
                  "the browser took another copy of the plug-in: " + plugin[0])
        return process.returncode, lines

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.work, ignore_errors=True)


def demo_query(server, **extra):
    query = {"server": server, "auto": "1"}
    query.update(extra)
    return urllib.parse.urlencode(query)


def events(lines, name):
    """The texts of the events named `name` that the demo page logged."""
    found = []
    for line in lines:
        if line.startswith("console: demo: event {"):
            event = json.loads(line[len("console: demo: event "):])
            if event.get("name") == name:
                found.append(event)
    return found


def uploaded(lines):
    """Reported id -> address of every completed upload the demo page logged."""
    result = {}
    for line in lines:
        m = re.match(r"console: demo: uploaded (\S+) (\S+)$", line)
        if m:
            result[m.group(1)] = m.group(2)
    return result


def final_html(lines):
    for line in lines:
        if line.startswith("console: demo: final html "):
            return json.loads(line[len("console: demo: final html "):])
    raise Failure("the page never finished its paste")


def stored_file(uploads, address):
    name = address.rsplit("/", 1)[-1]
    path = os.path.join(uploads, name)
    check(os.path.isfile(path), "%s is not on the server" % address)
    with open(path, "rb") as f:
        return f.read()


def prepared_bytes(session, source, width, height):
    out = os.path.join(session.work, "prepared.bin")
    subprocess.run([os.path.join(session.build, "quillon"), "prepare", source, "--width",
                    str(width), "--height", str(height), "-o", out], env=session.env,
                   capture_output=True, timeout=60)
    with open(out, "rb") as f:
        return f.read()


def case_version(session):
    code, lines = session.run_page(os.path.join(PAGES, "version.html"), timeout=60)
    check(code == 0, "the version page failed (%d)" % code)
    expected = "console: plugin file " + os.path.join(session.build, "libnpQuillon.so")
    check(expected in lines, "the plug-in was not loaded from the build folder")


def case_word(session):
    """A Word document with PNG, .wmz and .emz pictures: every picture is uploaded prepared,
    byte for byte, and the editor ends with the server's addresses in place of local ones."""
    server, uploads = session.start_upload_server()
    clip = session.sample("word", os.path.join(session.corpus, WORD_DOCUMENT),
                          os.path.join(session.work, "doc"))
    session.offer("HTML Format", clip)
    screenshot = os.path.join(session.work, "word.png")
    code, lines = session.run_page(DEMO, demo_query(server), screenshot=screenshot)
    check(code == 0, "the demo page failed (%d)" % code)
    pasted = events(lines, "Parser_PasteWord")
    check(len(pasted) == 1, "expected one Parser_PasteWord, got %d" % len(pasted))
    pictures = pasted[0].get("imgs", [])
    check(sorted(p["ext"] for p in pictures) == [".emz", ".png", ".wmz"],
          "unexpected pictures %r" % [p["src"] for p in pictures])
    addresses = uploaded(lines)
    check(len(addresses) == len(pictures), "not every picture was uploaded: %r" % addresses)
    html = final_html(lines)
    check("file://" not in html, "a local address is left in the editor")
    # The demo numbers uploads 1, 2, ... in the order of the event's pictures.
    for number, picture in enumerate(pictures, 1):
        address = addresses[str(number)]
        check(address in html, "%s is not in the editor" % address)
        sent = stored_file(uploads, address)
        expected = prepared_bytes(session, picture["src"], picture["width"], picture["height"])
        check(len(expected) > 0, "%s prepares to nothing" % picture["src"])
        check(sent == expected, "%s arrived changed (%d bytes, expected %d)"
              % (picture["name"], len(sent), len(expected)))
        wanted = {".wmz": ".png", ".emz": ".jpg", ".png": ".png"}[picture["ext"]]
        check(address.endswith(wanted), "%s was sent as %s" % (picture["name"], address))
        # Progress of an upload reaches the page before its completion, never after.
        marks = [i for i, l in enumerate(lines)
                 if l.startswith("console: demo: progress %d " % number)]
        done_at = lines.index("console: demo: uploaded %d %s" % (number, address))
        check(all(i < done_at for i in marks), "progress of %s after its completion"
              % picture["name"])
    check(any(l.startswith("console: demo: progress ") for l in lines),
          "no File_PostProcess reached the page")
    check(os.path.getsize(screenshot) > 0, "no screenshot")


def case_png(session):
    """A PNG on the clipboard is uploaded as a JPEG of the same picture."""
    from PIL import Image, ImageChops

    server, uploads = session.start_upload_server()
    png = session.sample("png", os.path.join(session.work, "shot"))
    session.offer("image/png", png)
    code, lines = session.run_page(DEMO, demo_query(server))
    check(code == 0, "the demo page failed (%d)" % code)
    check(events(lines, "Parser_PasteImage"), "no Parser_PasteImage")
    done = events(lines, "Parser_PostComplete")
    check(len(done) == 1, "expected one Parser_PostComplete, got %d" % len(done))
    address = done[0]["value"].strip()
    check(address.endswith(".jpg"), "the bitmap was not sent as JPEG: " + address)
    sent = stored_file(uploads, address)
    check(sent[:3] == b"\xff\xd8\xff", "the upload is not a JPEG")
    stored = os.path.join(session.work, "sent.jpg")
    with open(stored, "wb") as f:
        f.write(sent)
    original = Image.open(png).convert("RGB")
    received = Image.open(stored).convert("RGB")
    check(received.size == original.size, "size changed: %r" % (received.size,))
    difference = ImageChops.difference(original, received).convert("L")
    mean = sum(difference.getdata()) / float(original.width * original.height)
    check(mean < 8, "the JPEG does not show the copied picture (mean difference %.1f)" % mean)
    check(any(l.startswith("console: demo: progress bitmap") for l in lines),
          "no Parser_PostProcess reached the page")


def case_files(session):
    """A copied file list: one Parser_PasteFiles with the two pictures only, both uploaded
    unchanged."""
    server, uploads = session.start_upload_server()
    listing = session.sample("files", os.path.join(session.work, "files"))
    session.offer("text/uri-list", listing)
    code, lines = session.run_page(DEMO, demo_query(server))
    check(code == 0, "the demo page failed (%d)" % code)
    pasted = events(lines, "Parser_PasteFiles")
    check(len(pasted) == 1, "expected one Parser_PasteFiles, got %d" % len(pasted))
    files = pasted[0]["imgs"]
    check([(f["name"], f["ext"]) for f in files] == [("Photo A.PNG", "PNG"), ("b.gif", "gif")],
          "unexpected files %r" % files)
    addresses = uploaded(lines)
    for number, entry in enumerate(files, 1):
        with open(entry["src"], "rb") as f:
            original = f.read()
        check(stored_file(uploads, addresses[str(number)]) == original,
              "%s arrived changed" % entry["name"])


def case_excel(session):
    server, _ = session.start_upload_server()
    clip = session.sample("excel", os.path.join(session.corpus, EXCEL_DOCUMENT),
                          os.path.join(session.work, "book"))
    session.offer("HTML Format", clip)
    code, lines = session.run_page(DEMO, demo_query(server))
    check(code == 0, "the demo page failed (%d)" % code)
    check(not events(lines, "Parser_PasteWord"), "Excel content came as Parser_PasteWord")
    pasted = events(lines, "Parser_PasteExcel")
    check(len(pasted) == 1, "expected one Parser_PasteExcel, got %d" % len(pasted))
    check("<table" in pasted[0]["word"].lower(), "the converted table is missing")
    check("<table" in final_html(lines).lower(), "the table did not reach the editor")


def case_silent(session):
    """A page that never sets StateChanged pastes and uploads: no call reaches it, the
    upload still happens, the plug-in keeps answering."""
    server, uploads = session.start_upload_server()
    clip = session.sample("word", os.path.join(session.corpus, WORD_DOCUMENT),
                          os.path.join(session.work, "doc"))
    session.offer("HTML Format", clip)
    picture = os.path.join(session.work, "doc", "clip_image005.png")
    query = urllib.parse.urlencode({"server": server, "file": picture})
    code, lines = session.run_page(os.path.join(PAGES, "silent.html"), query)
    check(code == 0, "the silent page failed (%d)" % code)
    check(os.listdir(uploads), "the upload did not reach the server")


def stalling_server(session):
    """Accepts uploads and reads them very slowly, so that they are still running when the
    page goes away."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    stop = threading.Event()
    session.stop_stalling = stop

    def serve():
        listener.settimeout(0.2)
        connections = []
        while not stop.is_set():
            try:
                connection, _ = listener.accept()
                connection.settimeout(0.2)
                connections.append(connection)
            except socket.timeout:
                pass
            for connection in connections:
                try:
                    connection.recv(1024)
                except (socket.timeout, OSError):
                    pass
        for connection in connections:
            connection.close()
        listener.close()

    thread = threading.Thread(target=serve, daemon=True)
    thread.start()
    return "http://127.0.0.1:%d/upload" % listener.getsockname()[1], thread


def case_close(session):
    """Closing the page while uploads run: the browser neither crashes nor hangs."""
    server, thread = stalling_server(session)
    big = os.path.join(session.work, "big.png")
    with open(big, "wb") as f:
        f.write(os.urandom(9 * 1024 * 1024))  # more than loopback buffers hold
    query = urllib.parse.urlencode({"server": server, "file": big})
    started = time.time()
    try:
        code, lines = session.run_page(os.path.join(PAGES, "close.html"), query, timeout=60)
    finally:
        session.stop_stalling.set()
        thread.join(5)
    check(any("uploads running" in l for l in lines), "the uploads never started")
    check(not any("File_PostComplete" in l or "File_PostError" in l for l in lines),
          "an upload ended before the page closed")
    check("runner: page destroyed" in lines, "the page was not destroyed")
    check("runner: page finished with 0" in lines, "the browser did not run on after the close")
    check(code == 0, "the browser ended with %d after the page closed" % code)
    check(time.time() - started < 90, "closing the page took too long")


def case_stuck(session):
    """A clipboard owner that never answers: the paste gives up in bounded time and does
    nothing."""
    owner = session.start([PYTHON, os.path.join(HERE, "stuck_owner.py")],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    check(owner.stdout.readline().strip() == b"owner", "the stuck owner did not start")
    started = time.time()
    code, lines = session.run_page(os.path.join(PAGES, "stuck.html"), timeout=60)
    check(code == 0, "the page failed (%d)" % code)
    check(time.time() - started < 60, "the paste waited too long")


CASES = {"version": case_version, "word": case_word, "png": case_png, "files": case_files,
         "excel": case_excel, "silent": case_silent, "close": case_close,
         "stuck": case_stuck}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--corpus", default=os.environ.get("QUILLON_CORPUS_DIR",
                                                          "/work/shared/corpus"))
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    session = Session(args.build, args.corpus)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    try:
        session.start_display()
        CASES[args.case](session)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        session.close()
    print("PASSED: %s" % args.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
