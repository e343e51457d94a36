// The demo editor: pastes through the plug-in, uploads every picture and shows progress.
//
// Query parameters: server=<upload address> (required), auto=1 (paste once the page has
// loaded and end the run when every upload has finished), settle=<ms> (auto mode: wait this
// long before pasting).
(function () {
  "use strict";

  var params = {};
  location.search.replace(/^\?/, "").split("&").forEach(function (pair) {
    if (!pair) return;
    var at = pair.indexOf("=");
    var key = decodeURIComponent(at < 0 ? pair : pair.slice(0, at));
    params[key] = at < 0 ? "" : decodeURIComponent(pair.slice(at + 1).replace(/\+/g, " "));
  });

  var plugin, editor, progressList, statusLine;
  var nextReportId = 1;
  // Reported id -> {row, picture, html}; one entry per upload of the current paste.
  var uploads = {};
  var pending = 0;
  var failures = 0;
  // The converted HTML of the last Word/Excel paste while its pictures upload.
  var document_ = null;

  function log(text) {
    console.log("demo: " + text);
  }

  function setStatus(text) {
    statusLine.textContent = text;
  }

  function escapeHtml(text) {
    return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;")
      .replace(/>/g, "&gt;").replace(/"/g, "&quot;");
  }

  function addRow(label) {
    var row = document.createElement("li");
    row.innerHTML = '<span class="name"></span> <progress max="100" value="0"></progress> ' +
      '<span class="figures">waiting</span>';
    row.querySelector(".name").textContent = label;
    progressList.appendChild(row);
    return row;
  }

  function showProgress(row, event) {
    row.querySelector("progress").value = parseInt(event.percent, 10) || 0;
    row.querySelector(".figures").textContent = event.percent + ", " + event.len + " bytes, " +
      event.speed + " B/s, " + event.time + " left";
  }

  function finishRow(row, ok, text) {
    row.className = ok ? "done" : "failed";
    if (ok) row.querySelector("progress").value = 100;
    row.querySelector(".figures").textContent = text;
  }

  // The picture's own img text with its local address swapped for the uploaded one, so
  // its size and style stay as the document had them.
  function uploadedImg(html, address) {
    var swapped = html.replace(/\ssrc=("[^"]*"|'[^']*'|[^\s>]+)/i,
      ' src="' + escapeHtml(address) + '"');
    return swapped === html ? '<img src="' + escapeHtml(address) + '">' : swapped;
  }

  function insertHtml(html) {
    editor.focus();
    if (!document.execCommand("insertHTML", false, html)) editor.innerHTML += html;
  }

  // `picture` is an entry of a paste event's "imgs" (or null for a copied file).
  function uploadFile(path, label, html, picture) {
    var id = plugin.FileUploader_AddFile();
    var reportId = nextReportId++;
    uploads[reportId] = { row: addRow(label), html: html, uploaderId: id };
    pending++;
    // "PostUrl" goes with every uploader document: one without it clears the address.
    // The picture's size in the document is what a ".wmz" formula is drawn at.
    var config = { PostUrl: params.server || "", pathLoc: path, idLoc: reportId };
    if (picture) {
      config.Width = String(picture.width || "0");
      config.Height = String(picture.height || "0");
    }
    plugin.FileUploader_Init(id, JSON.stringify({ config: config }));
    plugin.FileUploader_Post(id);
    log("uploading " + path + " as " + reportId + " (uploader " + id + ")");
  }

  function onPasteDocument(event) {
    var pictures = event.imgs || [];
    log(event.name + " with " + pictures.length + " picture(s)");
    document_ = event.word;
    if (!pictures.length) {
      insertHtml(document_);
      document_ = null;
      allDone();
      return;
    }
    pictures.forEach(function (picture) {
      uploadFile(picture.src, picture.name, picture.html, picture);
    });
  }

  function onPasteFiles(event) {
    log("Parser_PasteFiles with " + event.imgs.length + " file(s)");
    event.imgs.forEach(function (file) {
      uploadFile(file.src, file.name, null, null);
    });
  }

  function onFileComplete(event) {
    var upload = uploads[event.id];
    if (!upload) return;
    var address = String(event.value).trim();
    log("uploaded " + event.id + " " + address);
    finishRow(upload.row, true, address);
    if (upload.html !== null && document_ !== null) {
      document_ = document_.split(upload.html).join(uploadedImg(upload.html, address));
    } else {
      insertHtml('<img src="' + escapeHtml(address) + '">');
    }
    uploadEnded(upload);
  }

  function onFileError(event, what) {
    var upload = uploads[event.id];
    if (!upload) return;
    failures++;
    log(what + " " + event.id + " code " + event.value);
    finishRow(upload.row, false, what + ", code " + event.value);
    uploadEnded(upload);
  }

  function uploadEnded(upload) {
    plugin.FileUploader_DelFile(upload.uploaderId);
    if (--pending > 0) return;
    if (document_ !== null) {
      insertHtml(document_);
      document_ = null;
    }
    allDone();
  }

  function allDone() {
    setStatus(failures ? failures + " upload(s) failed" : "done");
    log("final html " + JSON.stringify(editor.innerHTML));
    log("finished with " + failures + " failure(s)");
    if (params.auto && window.runner) {
      // Give the pictures a moment to load from the server before the screenshot.
      setTimeout(function () { runner.done(failures ? 1 : 0); }, 1500);
    }
  }

  // The page event callback: every event of the plug-in arrives here as one JSON text.
  function onPluginEvent(text) {
    var event;
    try {
      event = JSON.parse(text);
    } catch (e) {
      log("unreadable event " + text);
      return;
    }
    if (event.name !== "File_PostProcess" && event.name !== "Parser_PostProcess")
      log("event " + text.replace(/\s+$/, ""));
    switch (event.name) {
      case "Parser_PasteWord":
      case "Parser_PasteExcel":
        onPasteDocument(event);
        break;
      case "Parser_PasteFiles":
        onPasteFiles(event);
        break;
      case "Parser_PasteImage":
        log("Parser_PasteImage");
        uploads.bitmap = { row: addRow("clipboard picture"), html: null };
        pending++;
        break;
      case "Parser_PostProcess":
        if (uploads.bitmap) showProgress(uploads.bitmap.row, event);
        log("progress bitmap " + event.percent);
        break;
      case "Parser_PostComplete":
        log("uploaded bitmap " + event.value);
        finishRow(uploads.bitmap.row, true, event.value);
        insertHtml('<img src="' + escapeHtml(String(event.value).trim()) + '">');
        if (--pending === 0) allDone();
        break;
      case "Parser_PostError":
        failures++;
        finishRow(uploads.bitmap.row, false, "upload failed, code " + event.value);
        if (--pending === 0) allDone();
        break;
      case "File_PostProcess":
        if (uploads[event.id]) showProgress(uploads[event.id].row, event);
        log("progress " + event.id + " " + event.percent);
        break;
      case "File_PostComplete":
        onFileComplete(event);
        break;
      case "File_PostError":
        onFileError(event, "upload failed");
        break;
      case "Fire_DownError":
        onFileError(event, "download failed");
        break;
    }
  }

  function paste() {
    if (!plugin.HasData()) {
      setStatus("the clipboard holds nothing the plug-in can paste");
      log("nothing to paste");
      if (params.auto && window.runner) runner.done(2);
      return;
    }
    setStatus("pasting...");
    failures = 0;
    plugin.Paste();
  }

  window.addEventListener("load", function () {
    plugin = document.getElementById("plugin");
    editor = document.getElementById("editor");
    progressList = document.getElementById("progress");
    statusLine = document.getElementById("status");
    if (typeof plugin.Paste !== "function") {
      setStatus("the npQuillon plug-in is not installed");
      log("plug-in missing");
      if (window.runner) runner.done(3);
      return;
    }
    log("plug-in version " + plugin.Version);
    plugin.StateChanged = onPluginEvent;
    plugin.Init(JSON.stringify({ config: { PostUrl: params.server || "" } }));
    document.getElementById("paste").addEventListener("click", paste);
    // Ctrl+V in the editor goes through the plug-in too.
    editor.addEventListener("paste", function (e) {
      e.preventDefault();
      paste();
    });
    setStatus("ready: copy something, then press Paste");
    if (params.auto) setTimeout(paste, parseInt(params.settle || "200", 10));
  });
})();
