// npQuillon page object, in the page's own world: window.npQuillon, and the same members on
// every <embed> and <object> of type "application/npQuillon", so pages find the object where
// they looked for the plug-in. Methods return Promises of the plug-in's result (undefined
// where it gives none); property writes take effect in call order; "Version" answers at once,
// other reads give Promises. Page functions and objects passed in are kept here under ids the
// native host calls back by.
"use strict";

(() => {
  if (window.npQuillon) return;
  const MIME_TYPE = "application/npquillon";
  const VERSION = "1,4,102,31478";
  const METHODS = [
    "WordParser_Parse", "WordParser_IsWord", "WordParser_IsExcel", "WordParser_GetWord",
    "WordParser_GetImages", "WordParser_GetExcel", "ImgPst_Stop", "ImgPst_SetThumbSize",
    "ImgPst_Paste", "ImgPst_IsFile", "ImgPst_IsBitmap", "ImgPst_GetFiles", "ImgPst_ClearFields",
    "ImgPst_AddField", "FileUploader_GetResponse", "FileUploader_SetObject",
    "FileUploader_SetLocalFile", "FileUploader_SetPostUrl", "FileUploader_SetEncodeType",
    "FileUploader_SetImageType", "FileUploader_SetJpgQuality", "FileUploader_SetOnComplete",
    "FileUploader_SetOnConnected", "FileUploader_SetOnError", "FileUploader_SetOnPost",
    "FileUploader_SetWidth", "FileUploader_SetHeight", "FileUploader_SetThumbSize",
    "FileUploader_Init", "FileUploader_StateChanged", "FileUploader_AddFile",
    "FileUploader_DelFile", "FileUploader_Post", "FileUploader_Stop", "FileUploader_AddField",
    "Init", "HasData", "Paste",
  ];
  const PROPERTIES = [
    "Version", "Debug", "LogFile", "Session", "WordParser_Object", "WordParser_AddWordImg",
    "ImgPst_Response", "ImgPst_Object", "ImgPst_PostUrl", "ImgPst_EncodeType", "ImgPst_ImageType",
    "ImgPst_OnComplete", "ImgPst_OnConnected", "ImgPst_OnPost", "ImgPst_OnError", "StateChanged",
  ];

  // Taken before any page script runs, so the page cannot swap them.
  const { Promise, Error, Map, Object: ObjectCtor, Reflect, console: pageConsole } = globalThis;
  const apply = Reflect.apply;

  let port = null;
  const waiting = []; // messages sent before the port arrived
  let ended = null;
  let refused = false; // the administrator's policy does not admit this page
  let nextId = 1;
  let nextObject = 1;
  const pending = new Map(); // request id -> {resolve, reject}
  const objects = new Map(); // object id -> page object or function

  function encode(value) {
    if (value === undefined) return { $void: true };
    if (value === null || typeof value === "boolean" || typeof value === "string") return value;
    if (typeof value === "number") return Number.isFinite(value) ? value : null;
    if (typeof value === "function" || typeof value === "object") {
      // Every pass gets a new id: the host releases each one when it lets go of it.
      const id = nextObject++;
      objects.set(id, value);
      return { $object: id };
    }
    return { $void: true }; // symbols, big integers
  }

  function decode(value) {
    if (value && typeof value === "object" && !Array.isArray(value)) {
      if ("$object" in value) return objects.get(value.$object);
      if ("$void" in value) return undefined;
    }
    return value;
  }

  function send(message) {
    if (port) port.postMessage(message);
    else waiting.push(message);
  }

  function request(message) {
    if (ended) return Promise.reject(new Error("npQuillon: " + ended));
    const id = nextId++;
    message.id = id;
    return new Promise((resolve, reject) => {
      pending.set(id, { resolve, reject });
      send(message);
    });
  }

  function receive(message) {
    if (!message || typeof message !== "object") return;
    switch (message.type) {
      case "result":
      case "error": {
        const entry = pending.get(message.id);
        if (!entry) return;
        pending.delete(message.id);
        if (message.type === "result") entry.resolve(decode(message.value));
        else entry.reject(new Error(message.message));
        return;
      }
      case "call": {
        const target = objects.get(message.object);
        if (typeof target !== "function") return;
        const args = Array.isArray(message.args) ? message.args.map(decode) : [];
        try {
          apply(target, undefined, args);
        } catch (e) {
          pageConsole.error("npQuillon: a page callback failed", e);
        }
        return;
      }
      case "release":
        objects.delete(message.object);
        return;
      case "refused":
        // From now on every member gives undefined, "Version" too.
        refused = true;
        return;
      case "disconnected": {
        ended = message.message || "the native host ended";
        pageConsole.error("npQuillon: " + ended);
        for (const entry of pending.values()) entry.reject(new Error("npQuillon: " + ended));
        pending.clear();
        objects.clear();
        return;
      }
    }
  }

  // The private channel to the isolated world. Offers are taken here, in a listener that
  // runs before any page script's, and never reach the page; the first one is kept.
  function takePort(event) {
    if (event.source !== window || !event.data || event.data.npQuillonBridge !== "port" ||
        !event.ports || event.ports.length !== 1) {
      return;
    }
    event.stopImmediatePropagation();
    if (port) return;
    port = event.ports[0];
    port.onmessage = (e) => receive(e.data);
    port.postMessage({ type: "ack" });
    for (const message of waiting.splice(0)) port.postMessage(message);
  }
  window.addEventListener("message", takePort, true);
  // The relay may have offered before this script listened.
  window.postMessage({ npQuillonBridge: "want-port" }, "*");

  const object = ObjectCtor.create(null);
  const descriptors = {};
  for (const name of METHODS) {
    const method = function (...args) {
      return request({ type: "call", member: name, args: args.map(encode) });
    };
    descriptors[name] = { value: method, enumerable: true };
  }
  for (const name of PROPERTIES) {
    descriptors[name] = {
      enumerable: true,
      get: name === "Version" ? () => (refused ? undefined : VERSION)
                              : () => request({ type: "get", member: name }),
      set(value) {
        // Sent at once: writes and calls keep their order on the one channel.
        request({ type: "set", member: name, value: encode(value) }).catch(() => {});
      },
    };
  }
  ObjectCtor.defineProperties(object, descriptors);
  ObjectCtor.freeze(object);
  ObjectCtor.defineProperty(window, "npQuillon", { value: object, enumerable: false });

  // Elements written for the plug-in find the same members on themselves.
  function adopt(element) {
    if (element.__npQuillon || (element.localName !== "embed" && element.localName !== "object")) {
      return;
    }
    const type = (element.getAttribute("type") || "").toLowerCase();
    if (type !== MIME_TYPE) return;
    ObjectCtor.defineProperty(element, "__npQuillon", { value: true });
    for (const name of METHODS) {
      ObjectCtor.defineProperty(element, name, { value: object[name], configurable: true });
    }
    for (const name of PROPERTIES) {
      const d = ObjectCtor.getOwnPropertyDescriptor(object, name);
      ObjectCtor.defineProperty(element, name, { get: d.get, set: d.set, configurable: true });
    }
  }
  function scan(root) {
    if (root.querySelectorAll) {
      for (const element of root.querySelectorAll("embed, object")) adopt(element);
    }
    if (root.matches && root.matches("embed, object")) adopt(root);
  }
  new MutationObserver((records) => {
    for (const record of records) {
      if (record.type === "attributes") adopt(record.target);
      for (const node of record.addedNodes) scan(node);
    }
  }).observe(document, { childList: true, subtree: true, attributes: true,
                         attributeFilter: ["type"] });
  scan(document);
})();
