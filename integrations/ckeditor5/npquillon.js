// npQuillon for CKEditor 5: Word and Excel pastes with local pictures, screenshots and
// copied picture files go through npQuillon; every other paste stays the editor's.
//
//   import { NpQuillon } from "npquillon/ckeditor5";
//   ClassicEditor.create(element, { plugins: [..., NpQuillon],
//     npQuillon: { uploadUrl: "https://example.org/upload" } });
//
// The converted document goes through the editor's own clipboard pipeline, with the copied
// document's style sheet, so that paste from Office shapes lists, tables and headings as it
// does for a plain paste; its pictures arrive as placeholders that show their upload
// progress and take the server's address when done (changes outside the undo history, so
// that undo takes the whole paste back in one step).
import { Plugin, ClipboardPipeline, ViewDataTransfer } from "ckeditor5";
import { QuillonPaster } from "../common/quillon-paste.js";

const IMAGE_ELEMENTS = new Set(["imageBlock", "imageInline"]);

export class NpQuillon extends Plugin {
  static get pluginName() {
    return "NpQuillon";
  }

  static get requires() {
    return [ClipboardPipeline];
  }

  init() {
    const editor = this.editor;
    editor.config.define("npQuillon", {});
    this.replaying = false;
    this.paster = new QuillonPaster(editor.config.get("npQuillon"), this.adapter());
    // Without npQuillon the editor works exactly as it would without this plug-in.
    if (!this.paster.present) return;
    const viewDocument = editor.editing.view.document;
    this.listenTo(viewDocument, "clipboardInput", (evt, data) => {
      if (data.method !== "paste" || this.replaying) return;
      if (this.paster.takeOver(data.dataTransfer)) evt.stop();
    }, { priority: "high" });
  }

  /** Uploads still running. */
  get pendingUploads() {
    return this.paster.pending;
  }

  // HTML into the clipboard pipeline, as a paste of it would go.
  feed(html) {
    const native = new DataTransfer();
    native.setData("text/html", html);
    const editor = this.editor;
    const dataTransfer = new ViewDataTransfer(native, { cacheFiles: true });
    editor.editing.view.focus();
    this.replaying = true;
    try {
      editor.editing.view.document.fire("clipboardInput",
                                        { dataTransfer, content: html, method: "paste" });
    } finally {
      this.replaying = false;
    }
  }

  adapter() {
    return {
      insertDocument: (html, clip) => {
        // The copied document's head carries Word's list definitions and its generator mark:
        // with them, paste from Office treats the converted body as the Word text it is.
        const head = /^[\s\S]*?<body\b[^>]*>/i.exec(clip.html);
        this.feed(head ? head[0] + html + "</body></html>" : html);
      },
      insertPictures: (html) => this.feed(html),
      setPicture: (oldSrc, src, alt) => {
        const model = this.editor.model;
        model.enqueueChange({ isUndoable: false }, (writer) => {
          for (const root of model.document.getRoots()) {
            for (const item of model.createRangeIn(root).getItems()) {
              if (item.is("element") && IMAGE_ELEMENTS.has(item.name) &&
                  item.getAttribute("src") === oldSrc) {
                writer.setAttribute("src", src, item);
                if (alt !== undefined) writer.setAttribute("alt", alt, item);
              }
            }
          }
        });
      },
      pasteOriginal: (clip) => {
        const content = clip.html || "";
        if (!content && !clip.text && !clip.fileObjects.length) return;
        this.replayOriginal(clip);
      },
    };
  }

  replayOriginal(clip) {
    const native = new DataTransfer();
    if (clip.html) native.setData("text/html", clip.html);
    if (clip.text) native.setData("text/plain", clip.text);
    if (clip.rtf) native.setData("text/rtf", clip.rtf);
    for (const file of clip.fileObjects) native.items.add(file);
    const dataTransfer = new ViewDataTransfer(native, { cacheFiles: true });
    const content = clip.html || (clip.text ? clip.text.replace(/[&<>]/g, (c) =>
      ({ "&": "&amp;", "<": "&lt;", ">": "&gt;" })[c]).replace(/\n/g, "<br>") : "");
    this.replaying = true;
    try {
      this.editor.editing.view.document.fire("clipboardInput",
                                             { dataTransfer, content, method: "paste" });
    } finally {
      this.replaying = false;
    }
  }
}
