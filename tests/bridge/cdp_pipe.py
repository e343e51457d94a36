"""Chromium's DevTools protocol over --remote-debugging-pipe: commands on the browser's fd 3,
answers and events on its fd 4, each a JSON text ended by a NUL byte. No websocket needed."""

import json
import os
import select
import time


class CdpError(Exception):
    pass


class CdpPipe:
    def __init__(self, to_browser, from_browser):
        self.to_browser = to_browser
        self.from_browser = from_browser
        self.buffer = b""
        self.next_id = 1
        self.events = []

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.time()
            if left <= 0:
                raise CdpError("no answer from the browser")
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if not ready:
                continue
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise CdpError("the browser closed its DevTools pipe")
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def send(self, method, params=None, session=None, timeout=30):
        message_id = self.next_id
        self.next_id += 1
        message = {"id": message_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == message_id:
                if "error" in answer:
                    raise CdpError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def pump(self, seconds):
        """Reads events for a while (console messages, target changes)."""
        deadline = time.time() + seconds
        try:
            while True:
                self.events.append(self._read_message(deadline))
        except CdpError:
            pass
