#!/usr/bin/python3
"""Clipboard samples for the demo and the browser tests.

  clipsample.py word DOC FOLDER [--source-url URL]   CF_HTML of DOC whose pictures are files
                                                    made in FOLDER; writes FOLDER/clip.html
                                                    and FOLDER/pictures.txt (one path a line)
  clipsample.py excel DOC FOLDER                    CF_HTML of an Excel document
  clipsample.py png FOLDER                          FOLDER/shot.png, a screenshot-like picture
  clipsample.py files FOLDER                        FOLDER/files.txt, a text/uri-list of two
                                                    pictures, a text file and a folder

Office puts "file:///C:/..." addresses of temporary picture files into what it copies; here
every picture address of a corpus document is rewritten to a real file: PNG, JPEG and GIF
pictures are drawn, .wmz/.emz metafiles are copied from the corpus.
"""

import os
import re
import shutil
import sys
import urllib.parse

CORPUS = os.environ.get("QUILLON_CORPUS_DIR", "/work/shared/corpus")
PICTURE_EXTENSIONS = (".png", ".jpg", ".jpeg", ".gif", ".bmp", ".wmz", ".emz")
# Metafiles taken from the corpus for .wmz/.emz pictures.
METAFILES = {".wmz": "gdconv_sample.wmz", ".emz": "gdconv_sample.emz"}
COLOURS = [(200, 40, 40), (40, 140, 60), (30, 80, 200), (230, 160, 20), (120, 40, 160)]


def wrap_cf_html(html, source_url):
    """"HTML Format" bytes: the header with byte offsets, then the document. The fragment
    markers must already be in `html` (every corpus document has them)."""
    start_marker = b"<!--StartFragment-->"
    end_marker = b"<!--EndFragment-->"
    template = ("Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\n"
                "StartFragment:%010d\r\nEndFragment:%010d\r\n")
    source_line = ("SourceURL:" + source_url + "\r\n").encode("utf-8") if source_url else b""
    header_len = len((template % (0, 0, 0, 0)).encode("utf-8")) + len(source_line)
    start_html = header_len
    end_html = header_len + len(html)
    fragment_at = html.find(start_marker)
    fragment_end = html.find(end_marker)
    if fragment_at < 0 or fragment_end < 0:
        raise ValueError("the document has no fragment markers")
    start_fragment = header_len + fragment_at + len(start_marker)
    end_fragment = header_len + fragment_end
    header = (template % (start_html, end_html, start_fragment, end_fragment)).encode("utf-8")
    header += source_line
    assert len(header) == header_len
    return header + html


def draw_picture(path, index):
    """A small picture with a distinct colour and a few shapes, so each one is recognisable."""
    from PIL import Image, ImageDraw

    colour = COLOURS[index % len(COLOURS)]
    image = Image.new("RGB", (160 + 16 * index, 100 + 8 * index), (255, 255, 255))
    draw = ImageDraw.Draw(image)
    draw.rectangle([8, 8, image.width - 8, image.height - 8], outline=colour, width=4)
    draw.ellipse([30, 20, 90, 80], fill=colour)
    draw.text((100, 40), "#%d" % (index + 1), fill=(0, 0, 0))
    extension = os.path.splitext(path)[1].lower()
    if extension in (".jpg", ".jpeg"):
        image.save(path, "JPEG", quality=90)
    elif extension == ".gif":
        image.convert("P").save(path, "GIF")
    elif extension == ".bmp":
        image.save(path, "BMP")
    else:
        image.save(path, "PNG")


def make_picture(url, folder, index):
    name = os.path.basename(urllib.parse.unquote(urllib.parse.urlparse(url).path))
    path = os.path.join(folder, name)
    extension = os.path.splitext(name)[1].lower()
    if extension in METAFILES:
        shutil.copyfile(os.path.join(CORPUS, "wmz", METAFILES[extension]), path)
    else:
        draw_picture(path, index)
    return path


def localise_pictures(html, folder):
    """Rewrites every picture address of the document to a file made in `folder`; returns
    the new document and the made files in order of first use."""
    text = html.decode("utf-8", "surrogateescape")
    urls = []
    for match in re.finditer(r'file:/{2,}[^"\'\s>]+', text):
        url = match.group(0)
        if url.lower().endswith(PICTURE_EXTENSIONS) and url not in urls:
            urls.append(url)
    made = {}
    for index, url in enumerate(urls):
        made[url] = make_picture(url, folder, index)
    # Longest first, so that no address is replaced inside a longer one.
    for url in sorted(urls, key=len, reverse=True):
        text = text.replace(url, "file://" + urllib.parse.quote(made[url]))
    return text.encode("utf-8", "surrogateescape"), [made[u] for u in urls]


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    kind = argv[0]
    if kind in ("word", "excel") and len(argv) >= 3:
        document, folder = argv[1], argv[2]
        os.makedirs(folder, exist_ok=True)
        with open(document, "rb") as f:
            html = f.read()
        pictures = []
        if kind == "word":
            html, pictures = localise_pictures(html, folder)
            source = "file:///home/ann/Documents/report.docx"
        else:
            source = "file:///home/ann/Documents/book.xlsx"
        if "--source-url" in argv:
            source = argv[argv.index("--source-url") + 1]
        with open(os.path.join(folder, "clip.html"), "wb") as f:
            f.write(wrap_cf_html(html, source))
        with open(os.path.join(folder, "pictures.txt"), "w") as f:
            f.writelines(p + "\n" for p in pictures)
        print(os.path.join(folder, "clip.html"))
        return 0
    if kind == "png":
        folder = argv[1]
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "shot.png")
        draw_picture(path, 2)
        print(path)
        return 0
    if kind == "files":
        folder = argv[1]
        os.makedirs(folder, exist_ok=True)
        entries = [os.path.join(folder, "Photo A.PNG"), os.path.join(folder, "b.gif")]
        for index, path in enumerate(entries):
            draw_picture(path, index)
        note = os.path.join(folder, "notes.txt")
        with open(note, "w") as f:
            f.write("not a picture\n")
        sub = os.path.join(folder, "album.jpg")  # a folder whose name looks like a picture
        os.makedirs(sub, exist_ok=True)
        listing = os.path.join(folder, "files.txt")
        with open(listing, "w") as f:
            for path in entries + [note, sub]:
                f.write("file://" + urllib.parse.quote(path) + "\r\n")
        print(listing)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
