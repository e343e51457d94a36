// npQuillon for TinyMCE: Word and Excel pastes with local pictures, screenshots and copied
// picture files go through npQuillon; every other paste stays the editor's.
//
//   <script type="module" src="integrations/tinymce/npquillon.js"></script>
//   tinymce.init({ selector: "#editor", plugins: "lists table image npquillon",
//                  npquillon: { uploadUrl: "https://example.org/upload" } });
//
// Load this module before tinymce.init runs (it registers the plug-in "npquillon"). The
// converted document is inserted as clipboard content (the editor's paste filters run, one
// undo level); Word's list paragraphs become real lists first, which the editor's own paste
// does not do. Pictures arrive as placeholders with their upload progress and take the
// server's address when done, outside the undo history.
import { QuillonPaster } from "../common/quillon-paste.js";
import { wordListsToLists, styleSheetText } from "../common/word-lists.js";

function register(tinymce) {
  tinymce.PluginManager.add("npquillon", (editor) => {
    editor.options.register("npquillon", { processor: "object", default: {} });
    let paster = null;

    const adapter = {
      insertDocument: (html, clip) => {
        const lists = wordListsToLists(html, styleSheetText(clip.html));
        editor.execCommand("mceInsertClipboardContent", false, { html: lists });
      },
      insertPictures: (html) => editor.execCommand("mceInsertClipboardContent", false, { html }),
      markPictures: true, // the editor rewrites addresses: placeholders are found by number
      setPicture: (oldSrc, src, alt, serial, final) => {
        editor.undoManager.ignore(() => {
          for (const img of editor.dom.select(`img[data-npquillon="${serial}"]`)) {
            const attributes = { src, "data-mce-src": src };
            if (alt !== undefined) attributes.alt = alt;
            if (final) attributes["data-npquillon"] = null;
            editor.dom.setAttribs(img, attributes);
          }
        });
        // The page's own change listeners (autosave, form fields) see the new address.
        editor.dispatch("change");
      },
      pasteOriginal: (clip) => {
        if (clip.html || clip.text) {
          editor.execCommand("mceInsertClipboardContent", false,
                             clip.html ? { html: clip.html } : { text: clip.text });
        }
      },
    };

    editor.on("init", () => {
      paster = new QuillonPaster(editor.options.get("npquillon"), adapter);
    });
    // Ahead of the editor's own paste handler, which leaves a prevented paste alone.
    editor.on("paste", (event) => {
      if (!paster || !paster.present || event.isDefaultPrevented()) return;
      if (paster.takeOver(event.clipboardData)) event.preventDefault();
    }, true);

    return {
      getMetadata: () => ({ name: "npQuillon" }),
      pendingUploads: () => (paster ? paster.pending : 0),
    };
  });
}

if (globalThis.tinymce) register(globalThis.tinymce);
else console.error("npQuillon: load TinyMCE before integrations/tinymce/npquillon.js");
