// Word list paragraphs ("mso-list:l1 level2 lfo3", their marker in an "mso-list:Ignore"
// span) made into real nested <ul>/<ol> lists, for editors without a Word clean-up of their
// own. A list level is numbered unless Word's list definitions (the copied document's style
// sheet) call it a bullet; without definitions the marker decides ("1.", "a)" are numbers).

const LIST_STYLE = /mso-list\s*:\s*l(\d+)\s+level(\d+)/i;
const NUMBER_MARKER = /^\s*(\d+|[a-z]|[ivxlcdm]+)[.)]\s*$/i;

function levelFormat(styles, list, level) {
  const definition = new RegExp(`@list\\s+l${list}:level${level}\\s*\\{([^}]*)\\}`, "i")
    .exec(styles);
  if (!definition) return null;
  const format = /mso-level-number-format\s*:\s*([\w-]+)/i.exec(definition[1]);
  return format && format[1].toLowerCase() === "bullet" ? "ul" : "ol";
}

function listParagraph(node) {
  if (!node || node.nodeType !== 1 || node.localName !== "p") return null;
  const match = LIST_STYLE.exec(node.getAttribute("style") || "");
  return match ? { list: match[1], level: Number(match[2]) } : null;
}

// Takes Word's marker ("1.", a bullet glyph) out of the paragraph; returns its text.
function takeMarker(paragraph) {
  let text = "";
  for (const span of paragraph.querySelectorAll("span")) {
    if (/mso-list\s*:\s*ignore/i.test(span.getAttribute("style") || "")) {
      text = span.textContent;
      let outer = span;
      while (outer.parentNode !== paragraph && outer.parentNode.textContent === span.textContent) {
        outer = outer.parentNode;
      }
      outer.remove();
      break;
    }
  }
  // Word's "[if !supportLists]" / "[endif]" comments around the marker.
  const walker = paragraph.ownerDocument.createTreeWalker(paragraph, NodeFilter.SHOW_COMMENT);
  const comments = [];
  while (walker.nextNode()) comments.push(walker.currentNode);
  for (const comment of comments) {
    if (/^\s*\[(if\s+!supportLists|endif)\]\s*$/i.test(comment.data)) comment.remove();
  }
  return text.replace(/\u00a0/g, " ").trim();
}

function nextElement(node) {
  let next = node.nextSibling;
  while (next && (next.nodeType === 8 || (next.nodeType === 3 && !next.data.trim()))) {
    next = next.nextSibling;
  }
  return next;
}

/** `html` with its Word list paragraphs made into lists; `styles` is the copied document's
 * style sheet text (may be empty). */
export function wordListsToLists(html, styles) {
  const doc = new DOMParser().parseFromString("<body>" + html + "</body>", "text/html");
  let first = null;
  for (const p of doc.body.querySelectorAll("p")) {
    if (!listParagraph(p) || !p.isConnected) continue;
    first = p;
    const run = [];
    for (let node = first; listParagraph(node); node = nextElement(node)) run.push(node);
    const anchor = doc.createComment("list");
    first.before(anchor);
    const stack = []; // { element, level, item }
    for (const paragraph of run) {
      const { list, level } = listParagraph(paragraph);
      const marker = takeMarker(paragraph);
      const tag = levelFormat(styles || "", list, level) ||
                  (NUMBER_MARKER.test(marker) ? "ol" : "ul");
      while (stack.length && stack[stack.length - 1].level > level) stack.pop();
      let top = stack[stack.length - 1];
      if (top && top.level === level && (top.list !== list || top.element.localName !== tag)) {
        stack.pop();
        top = stack[stack.length - 1];
      }
      if (!top || top.level < level) {
        const element = doc.createElement(tag);
        if (top && top.item) top.item.append(element);
        else anchor.before(element);
        top = { element, level, list, item: null };
        stack.push(top);
      }
      const item = doc.createElement("li");
      while (paragraph.firstChild) item.append(paragraph.firstChild);
      top.element.append(item);
      top.item = item;
      paragraph.remove();
    }
    anchor.remove();
  }
  return doc.body.innerHTML;
}

/** The text of every <style> element of an HTML document. */
export function styleSheetText(documentHtml) {
  let text = "";
  const pattern = /<style\b[^>]*>([\s\S]*?)<\/style>/gi;
  for (let m = pattern.exec(documentHtml || ""); m; m = pattern.exec(documentHtml)) text += m[1];
  return text;
}
