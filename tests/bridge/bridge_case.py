#!/usr/bin/python3
"""One bridge test: the extension and quillon-host in a real Chromium with a window on a
private Xvfb display, the X clipboard filled by xclip, the page on a loopback HTTP server,
uploads to `quillon serve`, the button pressed with real input events.

  bridge_case.py --build DIR [--corpus DIR] CASE

Every process started here is ended on the way out and the temporary folder removed.
Exit status 0 when the case passed.
"""

import argparse
import functools
import http.server
import json
import os
import signal
import subprocess
import sys
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "browser"))
import browser_case  # noqa: E402  (Xvfb, xclip, the upload server, clipboard samples)
from browser_case import Failure, check  # noqa: E402
from bidi_socket import Bidi  # noqa: E402
from cdp_pipe import CdpPipe  # noqa: E402

CHROMIUM = "/usr/lib/chromium/chromium"
FIREFOX = "/usr/lib/firefox-esr/firefox-esr"
HOST_NAME = "org.npquillon.host"
PAGES = os.path.join(HERE, "pages")


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    # In-memory answers for the policy case: NAME -> (status, headers, body).
    extra = {}

    def log_message(self, *args):
        pass

    def do_GET(self):
        answer = self.extra.get(self.path)
        if answer is None:
            return super().do_GET()
        status, headers, body = answer
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class BridgeSession(browser_case.Session):
    def __init__(self, build, corpus):
        super().__init__(build, corpus)
        self.http = None
        self.cdp = None
        self.browser = None
        self.page_session = None
        self.bidi = None
        self.context = None

    def serve_pages(self):
        handler = functools.partial(QuietHandler, directory=PAGES)
        self.http = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        return "http://127.0.0.1:%d/" % self.http.server_address[1]

    def start_chromium(self, install_host=True):
        profile = os.path.join(self.work, "chromium")
        hosts = os.path.join(profile, "NativeMessagingHosts")
        os.makedirs(hosts)
        if install_host:
            manifest = subprocess.run(
                [os.path.join(self.build, "quillon-host"), "--print-manifest", "chromium"],
                capture_output=True, check=True, timeout=30).stdout
            with open(os.path.join(hosts, HOST_NAME + ".json"), "wb") as f:
                f.write(manifest)
        to_read, to_browser = os.pipe()
        from_browser, to_write = os.pipe()
        extension = os.path.join(self.build, "extension")
        argv = [CHROMIUM, "--no-sandbox", "--user-data-dir=" + profile,
                "--load-extension=" + extension, "--disable-extensions-except=" + extension,
                "--remote-debugging-pipe", "--ozone-platform=x11", "--no-first-run",
                "--no-default-browser-check", "--disable-gpu", "--disable-dev-shm-usage",
                "--disable-background-networking", "--disable-component-update",
                "--password-store=basic", "--window-size=1000,700", "about:blank"]
        # fd 3 and 4 are the DevTools pipe.
        def child_fds():
            os.dup2(to_read, 3)
            os.dup2(to_write, 4)
        self.browser = self.start(argv, pass_fds=(3, 4), preexec_fn=child_fds,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_read)
        os.close(to_write)
        self.cdp = CdpPipe(to_browser, from_browser)

    def start_firefox(self):
        """Firefox ESR headless over WebDriver BiDi; the extension installed as a temporary
        add-on, the host manifest in $HOME/.mozilla/native-messaging-hosts/."""
        hosts = os.path.join(self.env["HOME"], ".mozilla", "native-messaging-hosts")
        os.makedirs(hosts)
        manifest = subprocess.run(
            [os.path.join(self.build, "quillon-host"), "--print-manifest", "firefox"],
            capture_output=True, check=True, timeout=30).stdout
        with open(os.path.join(hosts, HOST_NAME + ".json"), "wb") as f:
            f.write(manifest)
        profile = os.path.join(self.work, "firefox")
        os.makedirs(profile)
        with open(os.path.join(profile, "user.js"), "w") as f:
            for pref, value in (("browser.shell.checkDefaultBrowser", "false"),
                                ("datareporting.policy.dataSubmissionEnabled", "false"),
                                ("toolkit.telemetry.reportingpolicy.firstRun", "false"),
                                ("browser.startup.homepage_override.mstone", '"ignore"'),
                                ("app.update.disabledForTesting", "true"),
                                ("extensions.autoDisableScopes", "0")):
                f.write("user_pref(%s, %s);\n" % (json.dumps(pref), value))
        self.browser = self.start([FIREFOX, "--headless", "--no-remote", "--profile", profile,
                                   "--remote-debugging-port=0"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        port = None
        deadline = time.time() + 60
        while port is None and time.time() < deadline:
            line = self.browser.stderr.readline().decode("utf-8", "replace")
            if not line:
                break
            if "WebDriver BiDi listening on ws://" in line:
                port = int(line.rsplit(":", 1)[1].strip().strip("/"))
        check(port, "Firefox did not open its WebDriver BiDi port")
        # Keep draining its standard error so that it never blocks on a full pipe.
        threading.Thread(target=lambda: self.browser.stderr.read(), daemon=True).start()
        self.bidi = Bidi(port)
        self.bidi.send("session.new", {"capabilities": {}})
        self.bidi.send("webExtension.install",
                       {"extensionData": {"type": "path",
                                          "path": os.path.join(self.build, "extension")}})

    def open_page(self, url):
        if self.bidi:
            tree = self.bidi.send("browsingContext.getTree")["contexts"]
            self.context = tree[0]["context"]
            self.bidi.send("browsingContext.navigate",
                           {"context": self.context, "url": url, "wait": "complete"})
            self.wait_for("window.bridgeLog && window.npQuillon !== undefined", 30,
                          "the page or the extension's object did not load")
            return
        deadline = time.time() + 30
        target = None
        while target is None and time.time() < deadline:
            targets = self.cdp.send("Target.getTargets")["targetInfos"]
            pages = [t for t in targets if t["type"] == "page"]
            if pages:
                target = pages[0]["targetId"]
            else:
                time.sleep(0.2)
        check(target, "Chromium opened no page")
        self.target = target
        self.page_session = self.cdp.send("Target.attachToTarget",
                                          {"targetId": target, "flatten": True})["sessionId"]
        self.cdp.send("Page.enable", session=self.page_session)
        self.cdp.send("Page.navigate", {"url": url}, session=self.page_session)
        self.wait_for("window.bridgeLog && window.npQuillon !== undefined", 30,
                      "the page or the extension's object did not load")

    def evaluate(self, expression, await_promise=False):
        if self.bidi:
            # Values travel as JSON text, which both protocols carry alike.
            wrapped = "(async () => JSON.stringify(await (%s)))()" % expression if \
                await_promise else "JSON.stringify(%s)" % expression
            result = self.bidi.send("script.evaluate",
                                    {"expression": wrapped, "awaitPromise": True,
                                     "target": {"context": self.context}}, timeout=60)
            if result.get("type") == "exception":
                raise Failure("script failed: %s" % json.dumps(result)[:500])
            value = result["result"]
            return json.loads(value["value"]) if value.get("type") == "string" else None
        result = self.cdp.send("Runtime.evaluate",
                               {"expression": expression, "returnByValue": True,
                                "awaitPromise": await_promise},
                               session=self.page_session, timeout=60)
        if "exceptionDetails" in result:
            raise Failure("script failed: %s" % json.dumps(result["exceptionDetails"])[:500])
        return result["result"].get("value")

    def wait_for(self, expression, seconds, message):
        deadline = time.time() + seconds
        while time.time() < deadline:
            try:
                if self.evaluate("!!(%s)" % expression):
                    return
            except Exception as e:
                if os.environ.get("QUILLON_BRIDGE_VERBOSE"):
                    print("wait_for:", e)
            time.sleep(0.1)
        raise Failure(message)

    def log(self):
        return self.evaluate("window.bridgeLog") or []

    def click(self, element_id):
        box = self.evaluate("(() => { const r = document.getElementById(%s)"
                            ".getBoundingClientRect(); return [r.x + r.width / 2,"
                            " r.y + r.height / 2]; })()" % json.dumps(element_id))
        if self.bidi:
            x, y = int(box[0]), int(box[1])
            self.bidi.send("input.performActions", {"context": self.context, "actions": [{
                "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
                "actions": [{"type": "pointerMove", "x": x, "y": y},
                            {"type": "pointerDown", "button": 0},
                            {"type": "pointerUp", "button": 0}]}]})
            return
        for kind in ("mousePressed", "mouseReleased"):
            self.cdp.send("Input.dispatchMouseEvent",
                          {"type": kind, "x": box[0], "y": box[1], "button": "left",
                           "clickCount": 1}, session=self.page_session)

    def host_processes(self):
        """Pids of quillon-host processes started under this session's browser (not the
        hosts' own children between their fork and exec of the metafile renderer)."""
        host = os.path.realpath(os.path.join(self.build, "quillon-host"))
        found = {}
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                if os.path.realpath("/proc/%s/exe" % pid) != host:
                    continue
                with open("/proc/%s/status" % pid) as f:
                    status = f.read()
            except OSError:
                continue
            if "\nState:\tZ" in status:
                continue
            ppid = int(status.split("\nPPid:\t", 1)[1].split()[0])
            if self.descends_from(int(pid), self.browser.pid):
                found[int(pid)] = ppid
        return sorted(pid for pid, ppid in found.items() if ppid not in found)

    @staticmethod
    def descends_from(pid, ancestor):
        for _ in range(64):
            if pid == ancestor:
                return True
            try:
                with open("/proc/%d/stat" % pid) as f:
                    pid = int(f.read().rsplit(")", 1)[1].split()[1])
            except (OSError, ValueError, IndexError):
                return False
            if pid <= 1:
                return False
        return False

    def close(self):
        if self.bidi:
            self.bidi.ws.close()
        if self.http:
            self.http.shutdown()
        super().close()


def page_url(base, server):
    query = {"server": server}
    # QUILLON_BRIDGE_LOG=NAME: the page switches the host's diagnostic log on; the host writes
    # it as $XDG_STATE_HOME/npquillon/NAME (debugging a case).
    if os.environ.get("QUILLON_BRIDGE_LOG"):
        query["log"] = os.environ["QUILLON_BRIDGE_LOG"]
    return base + "bridge.html?" + urllib.parse.urlencode(query)


def events_named(session, name):
    return [e for e in session.evaluate("window.bridgeEvents") or [] if e.get("name") == name]


def case_word(session, firefox=False):
    """A Word document with pictures pasted through the extension: the converted HTML and its
    pictures arrive, each picture is uploaded (progress before completion), in order."""
    server, uploads = session.start_upload_server()
    clip = session.sample("word", os.path.join(session.corpus, browser_case.WORD_DOCUMENT),
                          os.path.join(session.work, "doc"))
    session.offer("HTML Format", clip)
    base = session.serve_pages()
    if firefox:
        session.start_firefox()
    else:
        session.start_chromium()
    session.open_page(page_url(base, server))
    session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the page's Init never answered")
    session.click("paste")
    session.wait_for("window.bridgeEvents.filter(e => e.name === 'File_PostComplete'"
                     " || e.name === 'File_PostError').length >= 3", 60,
                     "the pictures were not all uploaded: %s" % "see log")
    pasted = events_named(session, "Parser_PasteWord")
    check(len(pasted) == 1, "expected one Parser_PasteWord, got %d" % len(pasted))
    check("<o:p>" not in pasted[0]["word"], "the HTML was not converted")
    pictures = pasted[0].get("imgs", [])
    check(sorted(p["ext"] for p in pictures) == [".emz", ".png", ".wmz"],
          "unexpected pictures %r" % [p["src"] for p in pictures])
    done = events_named(session, "File_PostComplete")
    check(sorted(e["id"] for e in done) == [1, 2, 3],
          "not every picture completed: %r" % session.evaluate("window.bridgeEvents"))
    # The page numbers uploads 1, 2, ... in the order of the event's pictures; each arrives
    # prepared exactly as the plug-in prepares it.
    for event in done:
        picture = pictures[event["id"] - 1]
        stored = browser_case.stored_file(uploads, event["value"].strip())
        expected = browser_case.prepared_bytes(session, picture["src"], picture["width"],
                                               picture["height"])
        check(len(expected) > 0 and stored == expected,
              "%s arrived changed (%d bytes, expected %d)"
              % (picture["name"], len(stored), len(expected)))
    # Per upload, progress comes before completion.
    order = session.evaluate("window.bridgeEvents")
    for number in (1, 2, 3):
        names = [e["name"] for e in order if e.get("id") == number]
        check(names and names[-1] == "File_PostComplete" and
              all(n == "File_PostProcess" for n in names[:-1]),
              "events of upload %d out of order: %r" % (number, names))
    check(any(e["name"] == "File_PostProcess" for e in order), "no progress reached the page")


def case_large(session, firefox=False):
    """A Word document whose converted HTML is over the browser's 1 MB limit for one host
    message: its "Parser_PasteWord" reaches the page whole (packed in several parts, joined
    and inflated by the frame's relay)."""
    sys.path.insert(0, os.path.join(SOURCE, "tools", "runner"))
    import clipsample
    import random
    noise = random.Random(7)
    # Numbers compress poorly: even packed, the event needs more than one part.
    rows = "".join("<p class=MsoNormal>Zeile %d %s \u00fc\u20ac \"q\" \\ <b>fett</b></p>\r\n"
                   % (i, " ".join(str(noise.getrandbits(53)) for _ in range(6)))
                   for i in range(25000))
    html = ("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head><meta "
            "name=Generator content=\"Microsoft Word 15\"></head><body><!--StartFragment-->"
            + rows + "<p>END-MARK</p><!--EndFragment--></body></html>").encode("utf-8")
    clip = os.path.join(session.work, "large.cfhtml")
    with open(clip, "wb") as f:
        f.write(clipsample.wrap_cf_html(html, "file:///C:/large.docx"))
    session.offer("HTML Format", clip)
    base = session.serve_pages()
    if firefox:
        session.start_firefox()
    else:
        session.start_chromium()
    session.open_page(page_url(base, "http://127.0.0.1:9/upload"))
    session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the page's Init never answered")
    session.click("paste")
    session.wait_for("window.bridgeEvents.some(e => e.name === 'Parser_PasteWord')", 60,
                     "the large paste never arrived")
    word = session.evaluate("window.bridgeEvents.find(e => e.name === 'Parser_PasteWord').word")
    check(len(word.encode("utf-8")) > 1200 * 1000, "only %d bytes arrived" % len(word))
    last = rows[rows.rindex("Zeile 24999"):rows.rindex(" <b>fett")]
    check(last in word and "END-MARK" in word,
          "the end of the document is missing or changed")


def case_many(session):
    """20 frames at once, each its own page instance with a host process of its own."""
    base = session.serve_pages()
    session.start_chromium()
    session.open_page(base + "many.html")
    session.wait_for("window.bridgeLog.length >= 20", 60, "not every frame answered")
    answers = session.evaluate("window.bridgeLog")
    check(answers == ["1"] * 20, "the frames share instances or failed: %r" % answers)
    hosts = session.host_processes()
    check(len(hosts) == 20, "expected 20 host processes, found %d" % len(hosts))


def case_refusals(session):
    """Clipboard reads outside a user gesture and uploads of local files no paste reported
    are refused."""
    server, uploads = session.start_upload_server()
    base = session.serve_pages()
    session.start_chromium()
    session.open_page(page_url(base, server))
    session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the page's Init never answered")
    answer = session.evaluate("window.probePasteWithoutGesture()", await_promise=True)
    check(answer.startswith("rejected: ") and "user gesture" in answer,
          "a paste without a gesture was not refused: %r" % answer)
    secret = os.path.join(session.work, "secret.png")
    with open(secret, "wb") as f:
        f.write(b"\x89PNG not for the server")
    session.evaluate("window.probeUpload(%s)" % json.dumps(secret), await_promise=True)
    session.wait_for("window.bridgeEvents.some(e => e.name === 'File_PostError')", 20,
                     "the refused upload raised no File_PostError")
    error = events_named(session, "File_PostError")[0]
    check(error["value"] == 2, "unexpected error code %r" % error)
    check(not events_named(session, "File_PostComplete"), "the file was uploaded")
    check(not os.path.isdir(uploads) or not os.listdir(uploads), "the server received a file")


def case_policy(session):
    """The administrator's policy in one Chromium session (the host reads it anew for every
    page): uploads only to the listed origins, download redirects checked, the size limit,
    a clipboard read without a gesture refused; a page outside allowed_origins gets an object
    that does nothing, with a console message; a policy that does not parse refuses all."""
    server, uploads = session.start_upload_server()
    base = session.serve_pages()
    here = base.rstrip("/")
    elsewhere = here.replace("127.0.0.1", "localhost")
    picture = b"\x89PNG\r\n\x1a\n" + b"\0" * 60
    QuietHandler.extra = {
        "/picture.png": (200, [("Content-Type", "image/png")], picture),
        "/large.png": (200, [("Content-Type", "image/png")], picture * 40),
        "/moved-here": (302, [("Location", here + "/picture.png")], b""),
        "/moved-away": (302, [("Location", elsewhere + "/picture.png")], b""),
    }
    policy = os.path.join(session.work, "policy.json")
    upload_origin = server.rsplit("/", 1)[0]
    with open(policy, "w") as f:
        json.dump({"allowed_origins": ["http://127.0.0.1:*"],
                   "upload_origins": [upload_origin, here], "max_upload_bytes": 1000}, f)
    session.env["QUILLON_POLICY_FILE"] = policy
    session.start_chromium()
    session.open_page(page_url(base, server))
    session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the page's Init never answered")
    answer = session.evaluate("window.probePasteWithoutGesture()", await_promise=True)
    check(answer.startswith("rejected: ") and "user gesture" in answer,
          "a paste without a gesture was not refused: %r" % answer)
    outcomes = session.evaluate("""(async () => {
        const p = document.getElementById("plugin"), out = {};
        const post = async (idLoc, source, postUrl) => {
          const id = await p.FileUploader_AddFile();
          await p.FileUploader_Init(id, JSON.stringify(
              { config: { pathLoc: source, idLoc, PostUrl: postUrl } }));
          await p.FileUploader_Post(id);
        };
        await post(1, %(here)s + "/moved-here", %(server)s);
        await post(2, %(here)s + "/moved-away", %(server)s);
        await post(3, %(here)s + "/picture.png", %(other)s);
        await post(4, %(here)s + "/large.png", %(server)s);
        const deadline = performance.now() + 20000;
        while (performance.now() < deadline) {
          for (const e of window.bridgeEvents)
            if (["File_PostComplete", "File_PostError", "Fire_DownError"].includes(e.name))
              out[e.id] = e.name + (e.name === "File_PostComplete" ? "" : " " + e.value);
          if (Object.keys(out).length >= 4) break;
          await new Promise((r) => setTimeout(r, 100));
        }
        return out;
      })()""" % {"here": json.dumps(here), "server": json.dumps(server),
                 "other": json.dumps(server.replace("127.0.0.1", "localhost"))},
        await_promise=True)
    check(outcomes == {"1": "File_PostComplete", "2": "Fire_DownError 12",
                       "3": "File_PostError 2", "4": "Fire_DownError 12"},
          "unexpected outcomes %r" % outcomes)
    check(len(os.listdir(uploads)) == 1, "the server holds %r" % os.listdir(uploads))

    # The same page from an origin the policy does not list.
    session.cdp.send("Runtime.enable", session=session.page_session)
    session.cdp.send("Page.navigate", {"url": page_url(elsewhere + "/", server)},
                     session=session.page_session)
    session.wait_for("window.bridgeLog && window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the refused page's Init never answered")
    answer = session.evaluate("npQuillon.FileUploader_AddFile().then(v => [v === undefined,"
                              " npQuillon.Version === undefined])", await_promise=True)
    check(answer == [True, True], "the refused page's object did something: %r" % answer)
    session.cdp.pump(1)
    warnings = [e for e in session.cdp.events if e.get("method") == "Runtime.consoleAPICalled"
                and "allowed_origins" in json.dumps(e["params"].get("args"))]
    check(len(warnings) == 1, "expected one console message naming the policy, got %d"
          % len(warnings))

    # A policy that does not parse: every member refused.
    with open(policy, "w") as f:
        f.write('{"allowed_origins": [')
    session.cdp.send("Page.navigate", {"url": page_url(base, server)},
                     session=session.page_session)
    session.wait_for("window.bridgeLog && window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the page's Init never answered")
    answer = session.evaluate("npQuillon.FileUploader_AddFile()", await_promise=True)
    check(answer is None, "an unparsable policy let a member run: %r" % answer)


def case_close(session):
    """The tab closed while a picture uploads to a server that never reads: the host is gone
    within a few seconds."""
    server, thread = browser_case.stalling_server(session)
    try:
        clip = session.sample("word", os.path.join(session.corpus, browser_case.WORD_DOCUMENT),
                              os.path.join(session.work, "doc"))
        # The PNG picture made large enough to stay uploading.
        with open(os.path.join(session.work, "doc", "pictures.txt")) as f:
            pngs = [l.strip() for l in f if l.strip().lower().endswith(".png")]
        check(pngs, "the sample has no PNG picture")
        for png in pngs:
            with open(png, "ab") as f:
                f.write(os.urandom(24 * 1024 * 1024))
        session.offer("HTML Format", clip)
        base = session.serve_pages()
        session.start_chromium()
        session.open_page(page_url(base, server))
        session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                         "the page's Init never answered")
        session.click("paste")
        session.wait_for("window.bridgeEvents.some(e => e.name === 'File_PostProcess')", 60,
                         "no upload started")
        hosts = session.host_processes()
        check(len(hosts) == 1, "expected one host process, found %r" % hosts)
        session.cdp.send("Target.closeTarget", {"targetId": session.target})
        closed = time.time()
        while session.host_processes() and time.time() - closed < 10:
            time.sleep(0.1)
        check(not session.host_processes(), "the host outlived its tab")
        print("host gone %.2f s after the tab closed" % (time.time() - closed))
        check(time.time() - closed < 5, "the host took too long to end")
    finally:
        session.stop_stalling.set()
        thread.join(5)


def case_nohost(session):
    """Without the host installed, a call's Promise rejects with a clear message, soon."""
    base = session.serve_pages()
    session.start_chromium(install_host=False)
    session.open_page(page_url(base, "http://127.0.0.1:9/upload"))
    started = time.time()
    answer = session.evaluate(
        "npQuillon.FileUploader_AddFile().then(v => 'resolved ' + v, e => 'rejected: ' +"
        " e.message)", await_promise=True)
    check(time.time() - started < 5, "the rejection took %.1f s" % (time.time() - started))
    check(answer.startswith("rejected: ") and "not found" in answer,
          "unexpected answer %r" % answer)


def case_bench(session):
    """Not a test: the round trip of a cheap member (median of 200) and the idle host's
    resident memory, in Chromium."""
    base = session.serve_pages()
    session.start_chromium()
    session.open_page(page_url(base, "http://127.0.0.1:9/upload"))
    session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                     "the page's Init never answered")
    times = session.evaluate("""(async () => {
        const p = document.getElementById("plugin"), times = [];
        for (let i = 0; i < 200; i++) {
          const t = performance.now();
          await p.ImgPst_Response;
          times.push(performance.now() - t);
        }
        return times.sort((a, b) => a - b);
      })()""", await_promise=True)
    hosts = session.host_processes()
    check(len(hosts) == 1, "expected one host, found %r" % hosts)
    with open("/proc/%d/status" % hosts[0]) as f:
        rss = [l.split()[1] for l in f if l.startswith("VmRSS:")][0]
    print("round trip: median %.2f ms, 90th percentile %.2f ms; idle host resident %s KiB"
          % (times[len(times) // 2], times[len(times) * 9 // 10], rss))


def five_mb_word_clipboard(session):
    """A Word clipboard document of about 5 MB: a real document's body (its pictures made as
    files) repeated inside its own head and tail, as CF_HTML."""
    sys.path.insert(0, os.path.join(SOURCE, "tools", "runner"))
    import clipsample
    folder = os.path.join(session.work, "big")
    sample = session.sample("word", os.path.join(session.corpus, browser_case.WORD_DOCUMENT),
                            folder)
    with open(sample, "rb") as f:
        html = f.read()
    html = html[html.index(b"<"):]  # the document without the CF_HTML header
    start, end = b"<!--StartFragment-->", b"<!--EndFragment-->"
    head = html[:html.index(start) + len(start)]
    body = html[len(head):html.index(end)]
    tail = html[html.index(end):]
    copies = (5 * 1000 * 1000 - len(head) - len(tail)) // len(body) + 1
    clip = os.path.join(folder, "clip.html")
    with open(clip, "wb") as f:
        f.write(clipsample.wrap_cf_html(head + body * copies + tail,
                                        "file:///home/ann/Documents/big.docx"))
    return clip


def case_bench_paste(session):
    """Not a test: a 5 MB Word paste through the bridge in Chromium, from the button press to
    the event received whole in the page, against `quillon convert` of the same bytes (the
    conversion and its event text alone). Medians of 3."""
    clip = five_mb_word_clipboard(session)
    converts = []
    for _ in range(3):
        started = time.time()
        subprocess.run([os.path.join(session.build, "quillon"), "convert", clip],
                       stdout=subprocess.DEVNULL, check=True, timeout=120)
        converts.append(time.time() - started)
    session.offer("HTML Format", clip)
    base = session.serve_pages()
    session.start_chromium()
    pastes = []
    for _ in range(3):
        # A fresh page (and host) per paste: the page uploads the pictures of the last one.
        if session.page_session:
            session.cdp.send("Page.navigate", {"url": page_url(base, "http://127.0.0.1:9/upload")},
                             session=session.page_session)
            time.sleep(0.5)
            session.wait_for("window.bridgeLog && window.npQuillon !== undefined", 30,
                             "the page did not load again")
        else:
            session.open_page(page_url(base, "http://127.0.0.1:9/upload"))
        session.wait_for("window.bridgeLog.some(e => e.kind === 'ready')", 30,
                         "the page's Init never answered")
        # The press as the page sees it, before its own click handler runs.
        session.evaluate("document.addEventListener('mousedown', () => {"
                         " window.benchPressedAt = performance.now(); }, true)")
        session.click("paste")
        session.wait_for("window.bridgeLog.some(e => e.kind === 'event' &&"
                         " e.value === 'Parser_PasteWord')", 120, "the paste never arrived")
        pastes.append(session.evaluate(
            "(window.bridgeLog.find(e => e.kind === 'event' && e.value === 'Parser_PasteWord')"
            ".at - window.benchPressedAt) / 1000"))
        size = session.evaluate("window.bridgeEvents.find(e => e.name === 'Parser_PasteWord')"
                                ".word.length")
        check(size > 1000 * 1000, "the paste arrived cut short (%d characters)" % size)
    convert = sorted(converts)[1]
    paste = sorted(pastes)[1]
    print("5 MB Word paste (%d bytes): bridge %.3f s (runs %s), quillon convert %.3f s "
          "(runs %s); bridge - convert = %.0f ms"
          % (os.path.getsize(clip), paste, ", ".join("%.3f" % t for t in pastes), convert,
             ", ".join("%.3f" % t for t in converts), (paste - convert) * 1000))


CASES = {"bench": case_bench, "bench-paste": case_bench_paste, "word": case_word, "large": case_large, "many": case_many, "refusals": case_refusals, "policy": case_policy, "close": case_close,
         "nohost": case_nohost, "firefox-word": lambda s: case_word(s, firefox=True),
         "firefox-large": lambda s: case_large(s, firefox=True)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--corpus", default=os.environ.get("QUILLON_CORPUS_DIR",
                                                          "/work/shared/corpus"))
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    session = BridgeSession(args.build, args.corpus)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    started = time.time()
    try:
        session.start_display()
        CASES[args.case](session)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        session.close()
    print("PASSED: %s (%.1f s)" % (args.case, time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
