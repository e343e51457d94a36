// npQuillon background: one native host per page instance. Every frame that uses the page
// object opens a port to here; it gets its own quillon-host process, told the frame's origin
// as the browser reports it (never as the page claims it).
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
  let open = true;

  // Packed messages (the host's long ones) pass as they are: the frame's relay joins them.
  hostPort.onMessage.addListener((message) => {
    if (open) framePort.postMessage(message);
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
