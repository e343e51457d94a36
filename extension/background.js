// npQuillon background: one native host per page instance. Every frame that uses the page
// object opens a port to here; it gets its own quillon-host process, told the frame's origin
// as the browser reports it (never as the page claims it). Messages the host sends in parts
// (over the browser's 1 MB limit) are joined before they reach the frame.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST_NAME = "org.npquillon.host";

function senderOrigin(sender) {
  if (sender.origin && sender.origin !== "null") return sender.origin;
  try {
    return new URL(sender.url).origin;
  } catch (e) {
    return "null";
  }
}

function disconnectReason(port) {
  const error = port.error ?? api.runtime.lastError;
  return error && error.message ? error.message : "the native host ended";
}

api.runtime.onConnect.addListener((framePort) => {
  if (framePort.name !== "npquillon-page") return;
  const origin = senderOrigin(framePort.sender ?? {});
  let hostPort;
  try {
    hostPort = api.runtime.connectNative(HOST_NAME);
  } catch (e) {
    framePort.postMessage({ type: "disconnected", message: String(e && e.message || e) });
    framePort.disconnect();
    return;
  }
  const parts = new Map(); // seq -> array of data strings
  let open = true;

  hostPort.onMessage.addListener((message) => {
    if (!open) return;
    if (message && message.type === "part") {
      let pieces = parts.get(message.seq);
      if (!pieces) {
        if (!(message.count > 0 && message.count <= 4096)) return;
        pieces = { data: new Array(message.count), received: 0 };
        parts.set(message.seq, pieces);
      }
      if (!(message.index >= 0 && message.index < pieces.data.length)) return;
      if (pieces.data[message.index] === undefined) pieces.received++;
      pieces.data[message.index] = message.data;
      if (pieces.received < pieces.data.length) return;
      parts.delete(message.seq);
      let whole;
      try {
        whole = JSON.parse(pieces.data.join(""));
      } catch (e) {
        console.error("npQuillon: a message from the native host did not join", e);
        return;
      }
      framePort.postMessage(whole);
      return;
    }
    framePort.postMessage(message);
  });

  hostPort.onDisconnect.addListener(() => {
    const reason = disconnectReason(hostPort);
    if (!open) return;
    open = false;
    try {
      framePort.postMessage({ type: "disconnected", message: reason });
      framePort.disconnect();
    } catch (e) {
      // The frame went away first.
    }
  });

  // The frame went away (closed, navigated, reloaded): the host's input closes and it ends,
  // stopping its uploads.
  framePort.onDisconnect.addListener(() => {
    open = false;
    try {
      hostPort.disconnect();
    } catch (e) {
      // Already gone.
    }
  });

  framePort.onMessage.addListener((message) => {
    if (!open) return;
    hostPort.postMessage(message);
  });

  hostPort.postMessage({ type: "hello", origin });
});
