// npQuillon relay, in the extension's isolated world: between the page-world object (over a
// private MessagePort, never window messages) and the background (one port per frame,
// opened on first use). Every call carries whether it came within a user gesture, measured
// here, where the page cannot fake the activation state; the native host applies the
// administrator's policy to it (by default clipboard reads only in a gesture) and its
// refusals are shown in the page's console.
"use strict";

(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  const REQUEST_TYPES = new Set(["call", "get", "set", "release"]);

  let pagePort = null;
  let locked = false; // the page-world script has taken a channel (pagePort)
  let backgroundPort = null;
  let ended = null; // the reason once the host is gone

  // Messages from the page world are copied into plain data of this world (Firefox hands
  // them over wrapped) and rebuilt field by field: only requests pass, never a "hello".
  function request(data) {
    let copy;
    try {
      copy = JSON.parse(JSON.stringify(data));
    } catch (e) {
      return null;
    }
    if (!copy || !REQUEST_TYPES.has(copy.type)) return null;
    if (copy.type === "release") {
      return Number.isSafeInteger(copy.object) ? { type: "release", object: copy.object } : null;
    }
    if (!Number.isSafeInteger(copy.id) || typeof copy.member !== "string") return null;
    const out = { type: copy.type, id: copy.id, member: copy.member };
    if (copy.type === "call") out.args = Array.isArray(copy.args) ? copy.args : [];
    if (copy.type === "set" && "value" in copy) out.value = copy.value;
    return out;
  }

  function refuse(id, message) {
    pagePort.postMessage({ type: "error", id, message });
  }

  // The host's long messages come packed: a zlib stream in base64 parts, joined and inflated
  // here so that only the packed bytes cross the browser's messaging. Every message reaches
  // the page in the order the host sent it, the ones behind a packed message waiting for it.
  const packed = new Map(); // seq -> { data: base64 parts, received }
  let delivered = Promise.resolve();
  function inOrder(task) {
    delivered = delivered.then(task).catch((e) => console.error("npQuillon:", e));
  }

  function fromBase64(text) {
    if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text);
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  async function unpack(parts) {
    const bytes = new Blob(parts.map(fromBase64));
    const text = await new Response(bytes.stream().pipeThrough(new DecompressionStream("deflate"))).text();
    return JSON.parse(text);
  }

  // The parts of a packed message once all have come, else null.
  function joinPart(message) {
    let entry = packed.get(message.seq);
    if (!entry) {
      if (!(Number.isSafeInteger(message.count) && message.count > 0 && message.count <= 4096)) {
        return null;
      }
      entry = { data: new Array(message.count), received: 0 };
      packed.set(message.seq, entry);
    }
    if (!(Number.isSafeInteger(message.index) && message.index >= 0 &&
          message.index < entry.data.length && typeof message.data === "string")) {
      return null;
    }
    if (entry.data[message.index] === undefined) entry.received++;
    entry.data[message.index] = message.data;
    if (entry.received < entry.data.length) return null;
    packed.delete(message.seq);
    return entry.data;
  }

  function deliver(message) {
    if (message && message.type === "disconnected") {
      ended = message.message || "the native host ended";
    }
    // The policy's refusals: the page is not admitted (said once), a clipboard read outside
    // a gesture.
    if (message && (message.type === "refused" || (message.type === "error" && message.console))) {
      console.warn(String(message.message));
    }
    pagePort.postMessage(message);
  }

  function receive(message) {
    if (!(message && message.type === "packed")) {
      inOrder(() => deliver(message));
      return;
    }
    const parts = joinPart(message);
    if (!parts) return;
    inOrder(() => unpack(parts).then(deliver, (e) => {
      // A message lost would leave its request waiting for ever: the session ends instead.
      console.error("npQuillon: a message from the native host could not be read", e);
      if (ended) return;
      deliver({ type: "disconnected", message: "a message from the native host could not be read" });
      backgroundPort.disconnect();
    }));
  }

  function connect() {
    backgroundPort = api.runtime.connect({ name: "npquillon-page" });
    backgroundPort.onMessage.addListener(receive);
    backgroundPort.onDisconnect.addListener(() => inOrder(() => {
      if (!ended) ended = "the extension's background went away";
      pagePort.postMessage({ type: "disconnected", message: ended });
    }));
  }

  function onPageMessage(event) {
    const message = request(event.data);
    if (!message) return;
    if (ended) {
      if (message.type !== "release") refuse(message.id, "npQuillon: " + ended);
      return;
    }
    if (message.type === "call") message.gesture = navigator.userActivation.isActive;
    if (!backgroundPort) {
      if (message.type === "release") return;
      connect();
    }
    backgroundPort.postMessage(message);
  }

  // The hand-over: a channel offered at start and again whenever the page-world script asks
  // (the two worlds' scripts may start in either order), until the page-world script has
  // used one. It takes the offers in a listener registered before any page script runs and
  // keeps them from the page.
  const offered = [];
  function offer() {
    const channel = new MessageChannel();
    const port = channel.port1;
    offered.push(port);
    port.onmessage = (event) => {
      if (!locked) {
        // The channel the page-world script took; the other offers are withdrawn.
        locked = true;
        pagePort = port;
        for (const other of offered.splice(0)) if (other !== port) other.close();
      }
      if (port === pagePort) onPageMessage(event);
    };
    window.postMessage({ npQuillonBridge: "port" }, "*", [channel.port2]);
  }
  window.addEventListener("message", (event) => {
    if (!locked && event.data && event.data.npQuillonBridge === "want-port") offer();
  });
  offer();
})();
