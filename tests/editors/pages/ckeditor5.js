// The CKEditor 5 test page: one editor uploading to ?server=, a second one to ?failing=
// (both with the integration unless ?integration=0).
import { ClassicEditor, Essentials, Paragraph, Heading, Bold, Italic, Underline, Link, List,
         Table, Image, ImageResize, PasteFromOffice } from "ckeditor5";
import { NpQuillon } from "/integrations/ckeditor5/npquillon.js";

const params = new URLSearchParams(location.search);
const plugins = [Essentials, Paragraph, Heading, Bold, Italic, Underline, Link, List, Table,
                 Image, ImageResize, PasteFromOffice];
if (params.get("integration") !== "0") plugins.push(NpQuillon);

function create(element, uploadUrl) {
  return ClassicEditor.create(element, {
    licenseKey: "GPL", plugins, toolbar: ["undo", "redo", "bold", "italic", "bulletedList",
                                          "numberedList", "insertTable"],
    npQuillon: { uploadUrl },
  });
}

window.editors = [await create(document.getElementById("editor"), params.get("server")),
                  await create(document.getElementById("second"), params.get("failing"))];
window.editorData = (n) => window.editors[n].getData();
window.editorUndo = (n) => window.editors[n].execute("undo");
window.editorClear = (n) => window.editors[n].setData("");
window.editorFocus = (n) => window.editors[n].editing.view.focus();
window.editorReady = true;
