// The page a bridge test drives: a Word paste as an editor does it with the page object
// (events through "StateChanged", every picture uploaded), plus probes the driver calls.
"use strict";

const params = new URLSearchParams(location.search);
const server = params.get("server");
const log = [];          // everything that happened, in order, for the driver
const events = [];       // parsed "StateChanged" texts
window.bridgeLog = log;
window.bridgeEvents = events;

function record(kind, value) {
  log.push({ kind, value, at: performance.now() });
}

function plugin() {
  return document.getElementById("plugin");
}

async function uploadPictures(pictures) {
  const p = plugin();
  let number = 0;
  for (const picture of pictures) {
    number += 1;
    const id = await p.FileUploader_AddFile();
    await p.FileUploader_Init(id, JSON.stringify({
      config: { pathLoc: picture.src, idLoc: number, PostUrl: server,
                Width: picture.width || "0", Height: picture.height || "0" } }));
    await p.FileUploader_Post(id);
  }
}

async function start() {
  const p = plugin();
  if (params.get("log")) {
    p.Debug = true;
    p.LogFile = params.get("log");
  }
  p.StateChanged = (text) => {
    const event = JSON.parse(text);
    events.push(event);
    record("event", event.name);
    if (event.name === "Parser_PasteWord" || event.name === "Parser_PasteExcel") {
      uploadPictures(event.imgs || []).catch((e) => record("error", String(e)));
    }
  };
  await p.Init(JSON.stringify({ config: { PostUrl: server } }));
  record("ready", p.Version);
}

document.getElementById("paste").addEventListener("click", () => {
  plugin().Paste().then(() => record("pasted", true), (e) => record("refused", e.message));
});

// Probes the driver runs through Runtime.evaluate (no user gesture).
window.probePasteWithoutGesture = () =>
  plugin().Paste().then(() => "resolved", (e) => "rejected: " + e.message);
window.probeUpload = (path, idLoc) => uploadPictures([{ src: path }]);

start().catch((e) => record("failed", e.message));
