// The TinyMCE test page: one editor uploading to ?server=, a second one to ?failing=
// (both with the integration unless ?integration=0).
import "/integrations/tinymce/npquillon.js";

const params = new URLSearchParams(location.search);
const integration = params.get("integration") !== "0";

async function create(selector, uploadUrl) {
  const [editor] = await tinymce.init({
    selector, license_key: "gpl", base_url: "/node_modules/tinymce", suffix: ".min",
    plugins: integration ? "lists table image npquillon" : "lists table image",
    menubar: false, height: 420, npquillon: { uploadUrl },
  });
  return editor;
}

window.editors = [await create("#editor", params.get("server")),
                  await create("#second", params.get("failing"))];
window.editorData = (n) => window.editors[n].getContent();
window.editorUndo = (n) => window.editors[n].undoManager.undo();
window.editorClear = (n) => { window.editors[n].setContent(""); window.editors[n].undoManager.clear(); };
window.editorFocus = (n) => window.editors[n].focus();
window.editorReady = true;
