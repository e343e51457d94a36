#!/usr/bin/python3
"""Opens a page in QtWebKit with NPAPI plug-ins enabled, the way a desktop browser would.

The page's console goes to standard output, one line per message ("console: ..."). The page
ends the run by calling window.runner.done(code) (or by logging "runner:done <code>"); the
runner then saves the screenshot it was asked for and exits with that code, unless
--keep-open leaves the window for the user.

The plug-in folder is handed to QtWebKit through QTWEBKIT_PLUGIN_PATH before Qt starts; the
runner checks that "application/npQuillon" was registered from it and says which file did.

Exit codes: the page's code; 3 when the plug-in's MIME type is missing and --require-plugin
is given; 4 when the page does not load; 5 when the page does not finish within --timeout
(a hang inside the browser is ended by a watchdog thread that does not need the main loop);
6 when the browser stopped before the page finished.
"""

import argparse
import faulthandler
import os
import re
import sys

MIME_TYPE = "application/npQuillon"


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("page", help="a file path or an address")
    p.add_argument("--plugin-dir", help="folder holding libnpQuillon.so (QTWEBKIT_PLUGIN_PATH)")
    p.add_argument("--screenshot", help="PNG file written when the page finishes")
    p.add_argument("--timeout", type=float, default=120.0,
                   help="seconds before a page that never finishes is ended (0: never)")
    p.add_argument("--keep-open", action="store_true",
                   help="keep the window open after the page finishes")
    p.add_argument("--require-plugin", action="store_true",
                   help="exit 3 when the plug-in's MIME type is not registered")
    p.add_argument("--size", default="1024x768", help="window size, WIDTHxHEIGHT")
    return p.parse_args(argv)


def mapped_module_path(base_name):
    """The full path of a loaded shared object named `base_name` (empty when not loaded)."""
    if not base_name:
        return ""
    try:
        with open("/proc/self/maps") as maps:
            for line in maps:
                fields = line.split(None, 5)
                if len(fields) == 6 and os.path.basename(fields[5].strip()) == base_name:
                    return fields[5].strip()
    except OSError:
        pass
    return ""


def main(argv):
    args = parse_args(argv)
    if args.plugin_dir:
        os.environ["QTWEBKIT_PLUGIN_PATH"] = os.path.abspath(args.plugin_dir)

    # Every timer of the event loop can be starved by a call that never returns; this one
    # runs on its own thread and also prints where every thread stood.
    if args.timeout > 0 and not args.keep_open:
        faulthandler.dump_traceback_later(args.timeout + 30, exit=True)

    from PyQt5.QtCore import QObject, QTimer, QUrl, pyqtSlot
    from PyQt5.QtWidgets import QApplication
    from PyQt5.QtWebKit import QWebSettings
    from PyQt5.QtWebKitWidgets import QWebPage, QWebView

    def say(text):
        sys.stdout.write(text + "\n")
        sys.stdout.flush()

    app = QApplication([sys.argv[0]])
    # Only the user closing the window of a kept-open run ends it; a page that closes itself
    # ends the run through closePage's own timer.
    app.setQuitOnLastWindowClosed(args.keep_open)
    state = {"code": None, "view": None}

    def finish(code):
        if state["code"] is not None:
            return
        state["code"] = int(code)
        say("runner: page finished with %d" % state["code"])
        if args.screenshot:
            save_screenshot(args.screenshot)
        if not args.keep_open:
            # Let the current script call return before the page goes away.
            QTimer.singleShot(0, app.quit)

    def save_screenshot(path):
        view = state["view"]
        if view is None:
            say("runner: no page to take a screenshot of")
            return False
        app.processEvents()
        ok = view.grab().save(path, "PNG")
        say("runner: screenshot %s %s" % (path, "saved" if ok else "could not be saved"))
        return ok

    class Bridge(QObject):
        """window.runner: what the page may ask of the browser it runs in."""

        @pyqtSlot(int)
        def done(self, code):
            finish(code)

        @pyqtSlot(str, result=bool)
        def screenshot(self, path):
            return save_screenshot(path)

        @pyqtSlot(int, int)
        def closePage(self, code, settle_ms):
            # Destroys the page and with it every plug-in instance, as closing a tab does;
            # the run ends with `code` once the browser has run on for `settle_ms`.
            QTimer.singleShot(0, close_page)
            QTimer.singleShot(max(0, settle_ms), lambda: finish(code))

        @pyqtSlot(result=str)
        def pluginFile(self):
            return registered_plugin_file()

    class Page(QWebPage):
        def javaScriptConsoleMessage(self, message, line, source):
            say("console: %s" % message)
            if message.startswith("runner:done"):
                parts = message.split()
                finish(int(parts[1]) if len(parts) > 1 and parts[1].lstrip("-").isdigit() else 0)

        def javaScriptAlert(self, frame, message):
            say("alert: %s" % message)

        def javaScriptConfirm(self, frame, message):
            say("confirm: %s" % message)
            return True

    bridge = Bridge()

    def registered_plugin_file():
        """The plug-in file that serves the MIME type: its name as the page sees it, and the
        path that is mapped into this process once an instance was created."""
        frame = state["view"].page().mainFrame() if state["view"] else None
        if frame is None:
            return ""
        # QtWebKit lower-cases registered types and may hand out null plug-in items, so the
        # list is searched rather than indexed by name.
        name = frame.evaluateJavaScript(
            "(function(){for(var i=0;i<navigator.mimeTypes.length;i++){"
            "var m=navigator.mimeTypes.item(i);"
            "if(m&&m.type.toLowerCase()==='%s')"
            "return m.enabledPlugin?m.enabledPlugin.filename:'?';}return '';})()"
            % MIME_TYPE.lower())
        if not name:
            return ""
        return mapped_module_path(os.path.basename(name) if name != "?" else "") or name

    def close_page():
        view = state["view"]
        if view is None:
            return
        say("runner: closing the page")
        state["view"] = None
        page = view.page()
        page.destroyed.connect(lambda: say("runner: page destroyed"))
        view.close()
        # The page goes first: its plug-in instances are destroyed with it.
        page.deleteLater()
        view.deleteLater()
        say("runner: page closed")

    settings = QWebSettings.globalSettings()
    settings.setAttribute(QWebSettings.PluginsEnabled, True)
    settings.setAttribute(QWebSettings.JavascriptEnabled, True)
    settings.setAttribute(QWebSettings.LocalContentCanAccessRemoteUrls, True)
    settings.setAttribute(QWebSettings.DeveloperExtrasEnabled, True)

    view = QWebView()
    state["view"] = view
    page = Page(view)
    view.setPage(page)
    width, height = (int(v) for v in args.size.lower().split("x"))
    view.resize(width, height)

    frame = page.mainFrame()
    frame.javaScriptWindowObjectCleared.connect(
        lambda: frame.addToJavaScriptWindowObject("runner", bridge))

    def loaded(ok):
        if state["code"] is not None:
            return
        if not ok:
            say("runner: the page did not load")
            finish(4)
            return
        plugin_file = registered_plugin_file()
        if plugin_file:
            say("runner: %s registered by %s" % (MIME_TYPE, plugin_file))
        else:
            say("runner: %s is not registered (plug-in folders: %s)"
                % (MIME_TYPE, os.environ.get("QTWEBKIT_PLUGIN_PATH", "")))
            if args.require_plugin:
                finish(3)

    page.loadFinished.connect(loaded)

    if args.timeout > 0 and not args.keep_open:
        def expired():
            if state["code"] is None:
                say("runner: the page did not finish within %g seconds" % args.timeout)
                finish(5)
        QTimer.singleShot(int(args.timeout * 1000), expired)

    # A page is an address ("http://...", "file://...") or a file path with an optional query.
    target = args.page
    if re.match(r"^[A-Za-z][A-Za-z0-9+.-]*://", target):
        url = QUrl(target)
    else:
        path, _, query = target.partition("?")
        url = QUrl.fromLocalFile(os.path.abspath(path))
        if query:
            url.setQuery(query)
    view.show()
    view.load(url)
    app.exec_()
    if state["code"] is None and not args.keep_open:
        say("runner: the browser stopped before the page finished")
        state["code"] = 6
    code = state["code"] if state["code"] is not None else 0
    # Process teardown with plug-ins loaded is the browser's business; the page's verdict
    # is already known, so leave without running it twice.
    faulthandler.cancel_dump_traceback_later()
    sys.stdout.flush()
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
