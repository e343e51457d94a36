// npQuillon paste sessions, shared by the editor integrations: decides which pastes npQuillon
// takes over, calls "Paste" inside the user's paste gesture, turns the converted document's
// pictures into placeholders that show their upload progress, uploads them through the
// "FileUploader_" members and hands the server's addresses back to the editor.
//
// An editor integration supplies an adapter:
//   insertDocument(html, clip, kind)   the converted HTML (pictures already placeholders);
//                                      kind "word" or "excel"; clip is the paste's snapshot
//   insertPictures(html)               placeholders of pasted files or of a screenshot
//   setPicture(oldSrc, src, alt, serial, final)
//                                      one picture's address changed (progress, done, error)
//   markPictures                       true: placeholders carry data-npquillon="serial"
//   pasteOriginal(clip)                npQuillon took nothing: paste what the editor got
// and the editor's configuration (see docs/editors.md):
//   { uploadUrl, fields, cookie, parseResponse, quillon }

const MIME_TYPE = "application/npquillon";
const PICTURE_TYPES = /^image\/(png|jpeg|gif|bmp)$/i;
// Office HTML: Word and Excel name themselves in a generator tag or their namespaces.
const OFFICE_MARKERS = [
  /<meta\s[^>]*name\s*=\s*["']?generator["']?[^>]*content\s*=\s*["']?microsoft\s+(word|excel)/i,
  /xmlns:[ovwx]\s*=\s*["']?urn:schemas-microsoft-com:office/i,
];
// A picture the page cannot read: a local file address or a VML picture.
const LOCAL_PICTURE = /(<img\b[^>]*\bsrc\s*=\s*["']?file:)|(<v:imagedata\b)/i;
const EXCEL_MARKER = /<meta\s[^>]*content\s*=\s*["']?microsoft\s+excel/i;
// How long after "Paste" resolves its first event may still arrive.
const EVENT_GRACE_MS = 1500;

/** The npQuillon object of the page: the configured one, the extension's, or a plug-in
 * element; null when npQuillon is absent. */
export function findQuillon(configured) {
  if (configured !== undefined) return configured || null;
  if (typeof window === "undefined") return null;
  if (window.npQuillon && typeof window.npQuillon.Paste === "function") return window.npQuillon;
  for (const element of document.querySelectorAll("embed, object")) {
    if ((element.getAttribute("type") || "").toLowerCase() === MIME_TYPE &&
        typeof element.Paste === "function") {
      return element;
    }
  }
  return null;
}

/** What a paste offers, read while its event runs (the data is gone afterwards). */
export function snapshot(dataTransfer) {
  const get = (type) => {
    try {
      return dataTransfer.getData(type) || "";
    } catch (e) {
      return "";
    }
  };
  const fileObjects = Array.from(dataTransfer.files || []);
  const files = fileObjects.map((f) => ({ name: f.name, type: f.type }));
  return { html: get("text/html"), text: get("text/plain"), rtf: get("text/rtf"),
           types: Array.from(dataTransfer.types || []), files, fileObjects };
}

/** "office", "pictures" or null (the editor keeps the paste). */
export function pasteKind(clip) {
  if (clip.html) {
    const office = OFFICE_MARKERS.some((marker) => marker.test(clip.html));
    return office && LOCAL_PICTURE.test(clip.html) ? "office" : null;
  }
  return clip.files.some((f) => PICTURE_TYPES.test(f.type)) ? "pictures" : null;
}

/** The page instance's one event callback, shared by every editor on the page. */
class Channel {
  constructor(quillon) {
    this.quillon = quillon;
    this.uploads = new Map(); // idLoc -> handler(event)
    this.owner = null;        // the paste waiting for its "Parser_" events
    this.nextId = 1;
    quillon.StateChanged = (text) => this.dispatch(text);
  }

  dispatch(text) {
    let event;
    try {
      event = JSON.parse(text);
    } catch (e) {
      return;
    }
    const name = String(event.name || "");
    try {
      if (name.startsWith("File_") || name.startsWith("Fire_")) {
        const handler = this.uploads.get(event.id);
        if (handler) handler(event);
      } else if (name.startsWith("Parser_") && this.owner) {
        this.owner(event);
      }
    } catch (e) {
      console.error("npQuillon: handling " + name + " failed", e);
    }
  }
}

const channels = new WeakMap();
function channelFor(quillon) {
  let channel = channels.get(quillon);
  if (!channel) {
    channel = new Channel(quillon);
    channels.set(quillon, channel);
  }
  return channel;
}

function escapeXml(text) {
  return String(text).replace(/[<>&"']/g, (c) => `&#${c.charCodeAt(0)};`);
}

/** A picture's placeholder: an SVG of the picture's size with its name and state. `serial`
 * makes every placeholder address unique, so that the editor's copy can be found again. */
export function placeholderSrc(serial, box, label, percent, failed) {
  const width = Math.max(80, Math.round(box.width || 240));
  const height = Math.max(40, Math.round(box.height || 120));
  const bar = Math.round((width - 20) * Math.min(100, Math.max(0, percent || 0)) / 100);
  const colour = failed ? "#b3261e" : "#3465a4";
  const svg = `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}">` +
    `<desc>npquillon ${serial}</desc>` +
    `<rect x="1" y="1" width="${width - 2}" height="${height - 2}" fill="#f3f3f3" ` +
    `stroke="${colour}" stroke-dasharray="6 3"/>` +
    `<text x="10" y="${Math.min(height - 26, 24)}" font-family="sans-serif" font-size="13" ` +
    `fill="${colour}">${escapeXml(label)}</text>` +
    (failed ? "" : `<rect x="10" y="${height - 18}" width="${width - 20}" height="8" ` +
      `fill="#ddd"/><rect x="10" y="${height - 18}" width="${bar}" height="8" ` +
      `fill="${colour}"/>`) + "</svg>";
  return "data:image/svg+xml;charset=utf-8," + encodeURIComponent(svg);
}

// Word gives picture sizes in points.
function pointsToPixels(text) {
  const points = parseFloat(text);
  return Number.isFinite(points) && points > 0 ? Math.round(points * 4 / 3) : 0;
}

function defaultParseResponse(text) {
  return String(text).trim();
}

/** One editor's npQuillon paste handling. */
export class QuillonPaster {
  constructor(options, adapter) {
    this.options = options || {};
    this.adapter = adapter;
    this.quillon = findQuillon(this.options.quillon);
    this.serial = 0;
    this.pending = 0; // uploads running
  }

  get present() {
    return !!this.quillon;
  }

  /** Called from the editor's paste handler, while the paste event runs. True when npQuillon
   * takes the paste: the caller then stops the editor's own handling. */
  takeOver(dataTransfer) {
    if (!this.quillon || !dataTransfer) return false;
    const clip = snapshot(dataTransfer);
    if (!pasteKind(clip)) return false;
    this.paste(clip);
    return true;
  }

  paste(clip) {
    const channel = channelFor(this.quillon);
    const options = this.options;
    let taken = false;
    let finished = false;
    const giveBack = (why) => {
      if (taken || finished) return;
      finished = true;
      if (channel.owner === onEvent) channel.owner = null;
      if (why) console.warn("npQuillon: " + why + "; the editor pastes on its own");
      this.adapter.pasteOriginal(clip);
    };
    const onEvent = (event) => {
      if (finished && !taken) return;
      taken = true;
      this.onParserEvent(event, clip);
      // A bitmap's upload events follow its "Parser_PasteImage".
      if (event.name !== "Parser_PasteImage" && event.name !== "Parser_PostProcess") {
        if (channel.owner === onEvent) channel.owner = null;
      }
    };
    channel.owner = onEvent;
    // The bitmap uploads of "Paste" take the process-wide settings: this editor's.
    const config = { PostUrl: String(options.uploadUrl || "") };
    if (options.cookie) config.Session = String(options.cookie);
    const fields = {};
    for (const [name, value] of Object.entries(options.fields || {})) fields[name] = String(value);
    const calls = [this.quillon.Init(JSON.stringify({ config, fields })), this.quillon.Paste()];
    Promise.all(calls).then(
      () => setTimeout(() => giveBack(taken ? "" : "npQuillon found nothing to paste"),
                       EVENT_GRACE_MS),
      (error) => giveBack(error && error.message ? error.message : String(error)));
  }

  onParserEvent(event, clip) {
    switch (event.name) {
      case "Parser_PasteWord":
      case "Parser_PasteExcel":
        this.pasteDocument(event, clip);
        return;
      case "Parser_PasteFiles":
        this.pasteFiles(event.imgs || []);
        return;
      case "Parser_PasteImage":
        this.bitmap = this.picture({ name: "screenshot", width: 320, height: 200 });
        this.adapter.insertPictures(`<p>${this.placeholder(this.bitmap)}</p>`);
        return;
      case "Parser_PostProcess":
        if (this.bitmap) this.progress(this.bitmap, parseInt(event.percent, 10));
        return;
      case "Parser_PostComplete":
        if (this.bitmap) this.complete(this.bitmap, event.value);
        this.bitmap = null;
        return;
      case "Parser_PostError":
        if (this.bitmap) this.fail(this.bitmap, "error " + event.value);
        this.bitmap = null;
        return;
    }
  }

  /** A placeholder's state: its current address, label and box. */
  picture(source) {
    const serial = ++this.serial;
    const box = { width: source.width || 240, height: source.height || 120 };
    const label = source.name || "picture";
    return { serial, box, label, src: placeholderSrc(serial, box, "Uploading " + label, 0) };
  }

  setSrc(entry, src, alt) {
    const old = entry.src;
    entry.src = src;
    this.adapter.setPicture(old, src, alt, entry.serial, !!entry.done);
  }

  // A placeholder's <img>.
  placeholder(entry, alt) {
    const mark = this.adapter.markPictures ? ` data-npquillon="${entry.serial}"` : "";
    const size = entry.sized ? ` width="${entry.box.width}" height="${entry.box.height}"` : "";
    return `<img src="${entry.src}"${size}${mark} alt="${escapeXml(alt || "")}">`;
  }

  progress(entry, percent) {
    if (entry.done) return;
    const value = Number.isFinite(percent) ? percent : 0;
    this.setSrc(entry, placeholderSrc(entry.serial, entry.box,
                                      `Uploading ${entry.label} ${value}%`, value));
  }

  complete(entry, response) {
    if (entry.done) return;
    let address = "";
    try {
      address = (this.options.parseResponse || defaultParseResponse)(response);
    } catch (e) {
      console.warn("npQuillon: the response parser failed", e);
    }
    if (!address) {
      this.fail(entry, "no address in the server's answer");
      return;
    }
    entry.done = true;
    this.setSrc(entry, String(address), undefined);
  }

  fail(entry, why) {
    if (entry.done) return;
    entry.done = true;
    const label = `Upload failed: ${entry.label} (${why})`;
    console.warn("npQuillon: " + label);
    this.setSrc(entry, placeholderSrc(entry.serial, entry.box, label, 0, true), label);
  }

  pasteDocument(event, clip) {
    let html = String(event.word || "");
    const entries = [];
    for (const picture of event.imgs || []) {
      const box = { width: pointsToPixels(picture.width), height: pointsToPixels(picture.height),
                    name: picture.name };
      const entry = this.picture(box);
      entry.source = picture;
      // The editors keep width and height attributes; Word's sizes are in the style.
      entry.sized = true;
      const img = this.placeholder(entry, picture.alt);
      if (picture.html && html.includes(picture.html)) html = html.split(picture.html).join(img);
      else continue; // not in the text: nothing to replace, nothing to upload
      entries.push(entry);
    }
    this.adapter.insertDocument(html, clip, event.name === "Parser_PasteExcel" ||
                                EXCEL_MARKER.test(clip.html) ? "excel" : "word");
    for (const entry of entries) this.upload(entry, entry.source);
  }

  pasteFiles(files) {
    const entries = files.map((file) => {
      const entry = this.picture({ name: file.name, width: 240, height: 120 });
      entry.source = { src: file.src };
      return entry;
    });
    if (!entries.length) return;
    this.adapter.insertPictures(entries.map((e) => `<p>${this.placeholder(e)}</p>`).join(""));
    for (const entry of entries) this.upload(entry, entry.source);
  }

  upload(entry, source) {
    const quillon = this.quillon;
    const channel = channelFor(quillon);
    const idLoc = channel.nextId++;
    const config = { PostUrl: String(this.options.uploadUrl || ""), pathLoc: source.src,
                     idLoc };
    if (source.width) config.Width = String(source.width);
    if (source.height) config.Height = String(source.height);
    if (this.options.cookie) config.Cookie = String(this.options.cookie);
    const fields = {};
    for (const [name, value] of Object.entries(this.options.fields || {})) fields[name] = String(value);
    let uploader = null;
    let ended = false;
    this.pending++;
    const end = () => {
      if (ended) return;
      ended = true;
      channel.uploads.delete(idLoc);
      this.pending--;
      if (uploader !== null) quillon.FileUploader_DelFile(uploader).catch(() => {});
    };
    channel.uploads.set(idLoc, (event) => {
      if (event.name === "File_PostProcess") {
        this.progress(entry, parseInt(event.percent, 10));
      } else if (event.name === "File_PostComplete") {
        this.complete(entry, event.value);
        end();
      } else if (event.name === "File_PostError" || event.name === "Fire_DownError") {
        this.fail(entry, "error " + event.value);
        end();
      }
    });
    (async () => {
      uploader = await quillon.FileUploader_AddFile();
      await quillon.FileUploader_Init(uploader, JSON.stringify({ config, fields }));
      await quillon.FileUploader_Post(uploader);
    })().catch((error) => {
      this.fail(entry, error && error.message ? error.message : String(error));
      end();
    });
  }
}
