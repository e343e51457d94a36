"""A minimal WebSocket client (RFC 6455, text frames, no extensions) for WebDriver BiDi on a
loopback port: Python's standard library has none."""

import base64
import json
import os
import select
import socket
import struct
import time


class BidiError(Exception):
    pass


class WebSocket:
    def __init__(self, host, port, path, timeout=30):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        request = ("GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\n"
                   "Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\n"
                   "Sec-WebSocket-Version: 13\r\n\r\n" % (path, host, port, key))
        self.sock.sendall(request.encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise BidiError("the browser closed the connection during the handshake")
            head += chunk
        head, self.buffer = head.split(b"\r\n\r\n", 1)
        if b" 101 " not in head.split(b"\r\n", 1)[0]:
            raise BidiError("no WebSocket upgrade: %r" % head[:200])

    def send(self, text):
        payload = text.encode()
        header = bytes([0x81])
        n = len(payload)
        if n < 126:
            header += bytes([0x80 | n])
        elif n < 1 << 16:
            header += bytes([0x80 | 126]) + struct.pack("!H", n)
        else:
            header += bytes([0x80 | 127]) + struct.pack("!Q", n)
        mask = os.urandom(4)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(header + mask + masked)

    def _read(self, count, deadline):
        while len(self.buffer) < count:
            left = deadline - time.time()
            if left <= 0:
                raise BidiError("no message from the browser in time")
            ready, _, _ = select.select([self.sock], [], [], left)
            if not ready:
                continue
            chunk = self.sock.recv(1 << 16)
            if not chunk:
                raise BidiError("the browser closed the connection")
            self.buffer += chunk
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def receive(self, timeout=30):
        deadline = time.time() + timeout
        message = b""
        while True:
            first, second = self._read(2, deadline)
            opcode = first & 0x0F
            n = second & 0x7F
            if n == 126:
                n = struct.unpack("!H", self._read(2, deadline))[0]
            elif n == 127:
                n = struct.unpack("!Q", self._read(8, deadline))[0]
            mask = self._read(4, deadline) if second & 0x80 else None
            payload = self._read(n, deadline)
            if mask:
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            if opcode == 0x8:
                raise BidiError("the browser closed the session")
            if opcode == 0x9:  # ping
                continue
            if opcode in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return message.decode()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


class Bidi:
    """Commands and their answers; events are kept."""

    def __init__(self, port):
        self.ws = WebSocket("127.0.0.1", port, "/session")
        self.next_id = 1
        self.events = []

    def send(self, method, params=None, timeout=30):
        message_id = self.next_id
        self.next_id += 1
        self.ws.send(json.dumps({"id": message_id, "method": method, "params": params or {}}))
        deadline = time.time() + timeout
        while True:
            answer = json.loads(self.ws.receive(max(0.1, deadline - time.time())))
            if answer.get("id") == message_id:
                if answer.get("type") == "error":
                    raise BidiError("%s: %s %s" % (method, answer.get("error"),
                                                   answer.get("message")))
                return answer.get("result", {})
            self.events.append(answer)
