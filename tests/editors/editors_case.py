#!/usr/bin/python3
"""The editor integrations in a real Chromium with a window on a private Xvfb display,
through the extension and quillon-host: CKEditor 5 and TinyMCE from npm, the paste a real
Ctrl+V (CDP key events), the X clipboard filled by xclip, uploads to `quillon serve`.

  editors_case.py --build DIR [--corpus DIR] ckeditor5|tinymce|contrast|bench

One browser per case; the case's pastes run one after the other in it. Exit status 0 when
every check passed.
"""

import argparse
import functools
import http.server
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "bridge"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "browser"))
import bridge_case  # noqa: E402  (Chromium over the DevTools pipe, the host installed)
import browser_case  # noqa: E402
from browser_case import Failure, check  # noqa: E402

# The pasted Word document, put together at run time from the corpus: a document with a
# PNG, an .emz and a .wmz picture, and inside its fragment the bulleted and numbered lists
# (three levels, 34 items) of a Word 2013 copy (the corpus holds no single document with
# both). The lists fragment carries no list definitions: the markers tell numbers from
# bullets.
PICTURES_DOCUMENT = browser_case.WORD_DOCUMENT
LISTS_FRAGMENT = "browser/ck4_ticket9456-lists-ole-link_word2013_chrome-fragment.html"
LIST_ITEMS = 34
WEB_HTML = ("<meta charset='utf-8'><h2>Release notes</h2><p>Read the <a href="
            "\"https://example.org/notes\">notes</a> and <b>enjoy</b>.</p>"
            "<img src=\"https://example.org/logo.png\" alt=\"logo\">")
PLAIN_TEXT = "Plain line one\nPlain line two <b>not bold</b>"


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class EditorSession(bridge_case.BridgeSession):
    def serve_pages(self):
        """The source tree: the test pages, the integrations and node_modules as they are."""
        handler = functools.partial(QuietHandler, directory=SOURCE)
        self.http = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        return "http://127.0.0.1:%d/" % self.http.server_address[1]

    def start_chromium(self, install_host=True, extension=True):
        if extension:
            return super().start_chromium(install_host)
        # The same browser without the extension: npQuillon absent.
        saved = self.build
        self.build = self.work  # no build/extension here: point the flags at an empty folder
        os.makedirs(os.path.join(self.work, "extension"), exist_ok=True)
        with open(os.path.join(self.work, "extension", "manifest.json"), "w") as f:
            json.dump({"manifest_version": 3, "name": "empty", "version": "1"}, f)
        try:
            return super().start_chromium(install_host=False)
        finally:
            self.build = saved

    def open_editor(self, url):
        deadline = time.time() + 30
        target = None
        while target is None and time.time() < deadline:
            pages = [t for t in self.cdp.send("Target.getTargets")["targetInfos"]
                     if t["type"] == "page"]
            if pages:
                target = pages[0]["targetId"]
            else:
                time.sleep(0.2)
        check(target, "Chromium opened no page")
        self.target = target
        self.page_session = self.cdp.send("Target.attachToTarget",
                                          {"targetId": target, "flatten": True})["sessionId"]
        self.cdp.send("Page.enable", session=self.page_session)
        self.cdp.send("Runtime.enable", session=self.page_session)
        self.cdp.send("Page.navigate", {"url": url}, session=self.page_session)
        self.wait_for("window.editorReady", 60, "the editor page did not load")

    def exceptions(self):
        """Uncaught exceptions and console errors the page reported so far."""
        self.cdp.pump(0.2)
        found = []
        for event in self.cdp.events:
            if event.get("method") == "Runtime.exceptionThrown":
                found.append(json.dumps(event["params"]["exceptionDetails"])[:400])
            elif event.get("method") == "Runtime.consoleAPICalled" and \
                    event["params"].get("type") == "error":
                found.append(json.dumps(event["params"]["args"])[:400])
        return found

    def ctrl_v(self, editor):
        self.evaluate("window.editorFocus(%d)" % editor)
        time.sleep(0.2)
        base = {"key": "v", "code": "KeyV", "windowsVirtualKeyCode": 86, "modifiers": 2}
        self.cdp.send("Input.dispatchKeyEvent", dict(base, type="keyDown", commands=["paste"]),
                      session=self.page_session)
        self.cdp.send("Input.dispatchKeyEvent", dict(base, type="keyUp"),
                      session=self.page_session)

    def data(self, editor):
        return self.evaluate("window.editorData(%d)" % editor)

    def combined_document(self):
        with open(os.path.join(self.corpus, PICTURES_DOCUMENT), encoding="utf-8") as f:
            document = f.read()
        with open(os.path.join(self.corpus, LISTS_FRAGMENT), encoding="utf-8") as f:
            lists = f.read()
        end = "<!--EndFragment-->"
        check(end in document, "the pictures document has no fragment end")
        path = os.path.join(self.work, "pictures-and-lists.html")
        with open(path, "w", encoding="utf-8") as f:
            f.write(document.replace(end, lists + end, 1))
        return path

    def offer_html(self, document):
        """A corpus Word document on the X clipboard as text/html, its pictures real files."""
        folder = os.path.join(self.work, "doc%d" % len(self.processes))
        clip = self.sample("word", os.path.join(self.corpus, document), folder)
        with open(clip, "rb") as f:
            cf_html = f.read()
        html = cf_html[cf_html.index(b"<html"):]
        path = os.path.join(folder, "clip-text.html")
        with open(path, "wb") as f:
            f.write(html)
        self.offer("text/html", path)
        with open(os.path.join(folder, "pictures.txt")) as f:
            return [line.strip() for line in f if line.strip()]

    def offer_text(self, target, text):
        path = os.path.join(self.work, "offer%d.txt" % len(self.processes))
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        self.offer(target, path)


def server_addresses(html, server):
    base = server.rsplit("/", 1)[0] + "/files/"
    return re.findall(r'src="(%s[^"]+)"' % re.escape(base), html)


def wait_data(session, editor, condition, seconds, message):
    deadline = time.time() + seconds
    html = ""
    while time.time() < deadline:
        html = session.data(editor)
        if condition(html):
            return html
        time.sleep(0.1)
    raise Failure("%s; the editor holds: %s" % (message, html[:1500]))


def count(pattern, html):
    return len(re.findall(pattern, html))


def step(name, function, *args):
    started = time.time()
    function(*args)
    print("  %-34s passed (%.1f s)" % (name, time.time() - started))


def list_skeleton(html):
    """The lists' shape: their open and close tags in order."""
    return re.findall(r"</?(?:ul|ol|li)\b", html)


def picture_tags(html):
    return re.findall(r"<img\b[^>]*>", html)


def run_editor_case(session, page):
    server, uploads = session.start_upload_server()
    base = session.serve_pages()
    session.start_chromium()
    failing = "http://127.0.0.1:9/upload"  # nothing listens on the discard port
    query = {"server": server, "failing": failing}
    url = base + "tests/editors/pages/%s.html?" % page
    document = session.combined_document()
    alone = {}

    def editor_alone():
        # The reference: the editor without the integration, the extension present.
        session.open_editor(url + urllib.parse.urlencode(dict(query, integration="0")))
        session.offer_html(document)
        session.ctrl_v(0)
        html = wait_data(session, 0, lambda h: "PNG picture" in h, 20, "the paste did not arrive")
        time.sleep(0.5)
        html = session.data(0)
        alone["lists"] = list_skeleton(html)
        if os.environ.get("QUILLON_EDITORS_VERBOSE"):
            print(html)
        pictures = picture_tags(html)
        print("  %s alone: %d <img> for the document's 3 pictures, %d of them file: "
              "addresses, %d inline data, 0 uploaded; %d list items" % (
                  page, len(pictures), sum('src="file:' in p for p in pictures),
                  sum('src="data:' in p or 'src="blob:' in p for p in pictures),
                  alone["lists"].count("<li")))
        session.open_editor(url + urllib.parse.urlencode(query))

    def word_document():
        session.offer_html(document)
        session.ctrl_v(0)
        # Placeholders first, then every picture at its server address.
        wait_data(session, 0, lambda h: "data:image/svg+xml" in h, 20,
                  "no upload placeholder appeared")
        html = wait_data(session, 0, lambda h: len(server_addresses(h, server)) >= 3 and
                         "data:image/svg+xml" not in h, 60, "the pictures were not all uploaded")
        addresses = server_addresses(html, server)
        # The document's pictures are its VML pictures (not the PNG previews Word adds for
        # the metafiles); in document order: the .emz re-encoded as JPEG, the .wmz drawn as
        # PNG, the PNG as it is.
        check(len(addresses) == 3 and len(set(addresses)) == 3,
              "expected 3 uploaded pictures, found %r" % addresses)
        check([a.rsplit(".", 1)[1] for a in addresses] == ["jpg", "png", "png"],
              "unexpected picture types %r" % addresses)
        for address in addresses:
            browser_case.stored_file(uploads, address)
        check(len(picture_tags(html)) == 3 and "file:" not in html and "base64" not in html,
              "other pictures remain: %r" % picture_tags(html))
        for text in ("EMF picture", "WMF picture", "PNG picture", "This is another list"):
            check(text in html, "the text %r is missing" % text)
        lists = list_skeleton(html)
        if os.environ.get("QUILLON_EDITORS_VERBOSE"):
            print(html)
        check(lists.count("<li") >= LIST_ITEMS,
              "expected %d list items, got %r" % (LIST_ITEMS, lists))
        if page == "ckeditor5":
            # The editor's own Word clean-up shaped them, exactly as for its own paste.
            check(lists == alone["lists"], "the lists are shaped otherwise than by the editor"
                  " alone: %r against %r" % (lists, alone["lists"]))
        else:
            # The editor makes no lists of Word's list paragraphs; the integration does.
            check("<ul" in lists and "<ol" in lists and
                  lists.count("<li") >= alone["lists"].count("<li"),
                  "expected bulleted and numbered lists, got %r" % lists)
        check("mso-list" not in html, "Word's list styles remain")

    def undo_one_step():
        session.evaluate("window.editorUndo(0)")
        html = session.data(0)
        check("EMF picture" not in html and not server_addresses(html, server) and
              "<li" not in html, "one undo left part of the paste: %s" % html[:500])

    def bitmap():
        session.evaluate("window.editorClear(0)")
        folder = os.path.join(session.work, "png")
        session.sample("png", folder)
        session.offer("image/png", os.path.join(folder, "shot.png"))
        session.ctrl_v(0)
        html = wait_data(session, 0, lambda h: server_addresses(h, server) and
                         "data:image" not in h, 30, "the screenshot was not uploaded")
        addresses = server_addresses(html, server)
        check(len(addresses) == 1 and addresses[0].endswith(".jpg") and
              len(picture_tags(html)) == 1, "expected one JPEG picture, got %s" % html)
        check(browser_case.stored_file(uploads, addresses[0])[:3] == b"\xff\xd8\xff",
              "the stored screenshot is not a JPEG")

    def file_list():
        session.evaluate("window.editorClear(0)")
        folder = os.path.join(session.work, "files")
        session.sample("files", folder)
        session.offer("text/uri-list", os.path.join(folder, "files.txt"))
        session.ctrl_v(0)
        html = wait_data(session, 0, lambda h: len(server_addresses(h, server)) >= 2 and
                         "data:image" not in h, 30, "the copied pictures were not uploaded")
        check(len(server_addresses(html, server)) == 2 and len(picture_tags(html)) == 2,
              "expected the list's two pictures: %s" % html)

    def failing_server():
        session.evaluate("window.editorClear(1)")
        session.offer_html(document)
        session.ctrl_v(1)
        html = wait_data(session, 1, lambda h: count("Upload%20failed", h) >= 3, 30,
                         "no error placeholders")
        check(not server_addresses(html, server), "a picture arrived at the wrong server")
        check(count(r'alt="Upload failed', html) == 3, "the failed pictures lack their alt text")

    def plain_and_web():
        session.evaluate("window.editorClear(0)")
        session.offer_text("UTF8_STRING", PLAIN_TEXT)
        session.ctrl_v(0)
        html = wait_data(session, 0, lambda h: "Plain line two" in h, 10,
                         "the plain text did not arrive")
        check("&lt;b&gt;not bold&lt;/b&gt;" in html, "the plain text was changed: %s" % html)
        session.evaluate("window.editorClear(0)")
        session.offer_text("text/html", WEB_HTML)
        session.ctrl_v(0)
        html = wait_data(session, 0, lambda h: "Release notes" in h, 10,
                         "the web HTML did not arrive")
        check('href="https://example.org/notes"' in html and "<h2" in html,
              "the web HTML lost its link or heading: %s" % html)
        check('src="https://example.org/logo.png"' in html,
              "the web picture's address changed: %s" % html)

    for name, function in (("editor alone (reference)", editor_alone),
                           ("Word document", word_document),
                           ("undo in one step", undo_one_step),
                           ("screenshot", bitmap),
                           ("copied picture files", file_list),
                           ("failing server", failing_server),
                           ("plain text and web HTML", plain_and_web)):
        step(name, function)
    errors = session.exceptions()
    check(not errors, "the page reported errors: %r" % errors)


def case_contrast(session):
    """npQuillon absent (no extension): with the integration configured each editor pastes
    the Word document exactly as without it. Prints what the editors do with the pictures
    (the reference row of docs/editors.md)."""
    base = session.serve_pages()
    session.start_chromium(extension=False)
    document = session.combined_document()
    for page in ("ckeditor5", "tinymce"):
        results = []
        for integration in ("1", "0"):
            session.open_editor(base + "tests/editors/pages/%s.html?server=x&failing=x&"
                                "integration=%s" % (page, integration))
            check(session.evaluate("window.npQuillon === undefined"), "npQuillon is present")
            session.offer_html(document)
            session.ctrl_v(0)
            wait_data(session, 0, lambda h: "PNG picture" in h, 20, "the paste did not arrive")
            time.sleep(0.5)
            # Without the list items' random ids and the sample's folder name.
            html = re.sub(r' data-list-item-id="[^"]*"', "", session.data(0))
            results.append(re.sub(r"quillon-browser-[^/]+/doc\d+", "DIR", html))
        check(results[0] == results[1], "%s pastes otherwise with the integration and no "
              "npQuillon:\n%s\n---\n%s" % (page, results[0][:800], results[1][:800]))
        pictures = picture_tags(results[0])
        print("  %s without npQuillon: %d <img> for the document's 3 pictures, %d of them "
              "file: addresses, %d inline data, nothing uploaded" % (
                  page, len(pictures), sum('src="file:' in p for p in pictures),
                  sum('src="data:' in p or 'src="blob:' in p for p in pictures)))
        # What the editors really do, asserted so that a change shows here: the pictures stay
        # local file addresses that the page cannot load.
        check(len(pictures) == 3 and all('src="file:' in p for p in pictures),
              "unexpected pictures: %r" % pictures)
    errors = session.exceptions()
    check(not errors, "the page reported errors: %r" % errors)


def case_bench(session, count_pictures=20):
    """Not a test: a 20-picture Word document pasted into CKEditor 5, the time until the last
    server address is in the editor's data, against `quillon upload` of the same pictures
    one after the other."""
    import shutil
    server, uploads = session.start_upload_server()
    folder = os.path.join(session.work, "bench")
    os.makedirs(folder)
    # The pictures: the corpus document's PNG picture file made by the sample tool, copied.
    sample = os.path.join(session.work, "sample")
    session.sample("word", os.path.join(session.corpus, PICTURES_DOCUMENT), sample)
    with open(os.path.join(sample, "pictures.txt")) as f:
        png = [l.strip() for l in f if l.strip().endswith(".png")][0]
    paragraphs, paths = [], []
    for n in range(count_pictures):
        path = os.path.join(folder, "clip_image%03d.png" % (n + 1))
        shutil.copy(png, path)
        with open(path, "ab") as f:
            f.write(b"%05d" % n)  # a distinct file (and server name) per picture
        paths.append(path)
        paragraphs.append("<p class=MsoNormal>Picture %d<img width=200 height=120 src=\"file://"
                          "%s\"></p>" % (n + 1, path))
    html = ("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head><meta name="
            "Generator content=\"Microsoft Word 15\"></head><body><!--StartFragment-->" +
            "\r\n".join(paragraphs) + "<!--EndFragment--></body></html>")
    clip = os.path.join(folder, "clip.html")
    with open(clip, "w") as f:
        f.write(html)
    session.offer("text/html", clip)
    base = session.serve_pages()
    session.start_chromium()
    session.open_editor(base + "tests/editors/pages/ckeditor5.html?" + urllib.parse.urlencode(
        {"server": server, "failing": server}))
    session.evaluate("window.editorFocus(0)")
    time.sleep(0.3)
    started = time.time()
    session.ctrl_v(0)
    wait_data(session, 0, lambda h: len(server_addresses(h, server)) >= count_pictures and
              "data:image" not in h, 120, "not every picture arrived")
    pasted = time.time() - started
    started = time.time()
    for path in paths:
        subprocess.run([os.path.join(session.build, "quillon"), "upload", server, path],
                       env=session.env, capture_output=True, check=True, timeout=60)
    uploaded = time.time() - started
    print("bench: %d pictures: paste in CKEditor 5 until the last address %.3f s; quillon "
          "upload one after the other %.3f s; ratio %.2f" % (count_pictures, pasted, uploaded,
                                                             pasted / uploaded))


def case_demo(session, document, out):
    """`make demo` in Chromium: the CKEditor 5 demo page through the extension, the sample
    pasted with Ctrl+V; prints the final HTML and writes a screenshot."""
    server, uploads = session.start_upload_server()
    session.offer_html(document)
    base = session.serve_pages()
    session.start_chromium()
    session.open_editor(base + "tools/demo/ckeditor5.html?" +
                        urllib.parse.urlencode({"server": server}))
    session.ctrl_v(0)
    html = wait_data(session, 0, lambda h: server_addresses(h, server) and
                     "data:image/svg+xml" not in h, 60, "the demo paste did not finish")
    time.sleep(1)  # the pictures load from the server
    import base64
    shot = session.cdp.send("Page.captureScreenshot", {"format": "png"},
                            session=session.page_session)
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "chromium-screenshot.png"), "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    with open(os.path.join(out, "chromium-final.html"), "w", encoding="utf-8") as f:
        f.write(html)
    print("demo: Chromium final HTML (%s):" % os.path.join(out, "chromium-final.html"))
    print(html)
    print("demo: %d pictures uploaded: %s" % (len(server_addresses(html, server)),
                                               " ".join(sorted(os.listdir(uploads)))))
    print("demo: Chromium screenshot %s" % os.path.join(out, "chromium-screenshot.png"))


CASES = {"ckeditor5": lambda s: run_editor_case(s, "ckeditor5"),
         "tinymce": lambda s: run_editor_case(s, "tinymce"),
         "contrast": case_contrast, "bench": case_bench}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--corpus", default=os.environ.get("QUILLON_CORPUS_DIR",
                                                          "/work/shared/corpus"))
    parser.add_argument("--document", help="demo: the Word document to paste")
    parser.add_argument("--out", help="demo: where the screenshot and final HTML go")
    parser.add_argument("case", choices=sorted(CASES) + ["demo"])
    args = parser.parse_args()
    if args.case == "demo":
        CASES["demo"] = lambda s: case_demo(s, os.path.abspath(args.document),
                                            os.path.abspath(args.out))
    if not os.path.isdir(os.path.join(SOURCE, "node_modules", "ckeditor5")):
        print("FAILED: node_modules is missing; run make deps (npm ci)")
        return 1
    session = EditorSession(args.build, args.corpus)
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
