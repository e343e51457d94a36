#!/bin/sh
# Seeds and a dictionary for the metafile fuzz target, made from the shared corpus at run
# time: every WMF and EMF in it (the compressed ones unpacked) behind the target's selector
# byte, and the record function numbers and types the corpus uses with the header magic.
# Usage: make-seeds.sh CORPUS_DIR SEED_DIR DICT_FILE
set -eu
CORPUS=$1
SEEDS=$2
DICT=$3
mkdir -p "$SEEDS"
python3 - "$CORPUS" "$SEEDS" "$DICT" <<'PY'
import gzip, os, struct, sys

corpus, seeds, dict_path = sys.argv[1:4]
wmf_functions, emf_types = set(), set()

def wmf_records(data):
    at = 22 if data[:4] == b"\xd7\xcd\xc6\x9a" else 0
    body = data[at:]
    at += 18
    while at + 6 <= len(data):
        words, function = struct.unpack_from("<IH", data, at)
        wmf_functions.add(function)
        if function == 0 or words < 3:
            break
        at += words * 2
    return body

def emf_records(data):
    at = 0
    while at + 8 <= len(data):
        kind, length = struct.unpack_from("<II", data, at)
        emf_types.add(kind)
        if kind == 14 or length < 8:
            break
        at += length

for root, _, names in os.walk(corpus):
    for name in sorted(names):
        data = open(os.path.join(root, name), "rb").read()
        if data[:2] == b"\x1f\x8b":
            try:
                data = gzip.decompress(data)
            except Exception:
                continue
        stem = name.replace(".", "_")
        if len(data) > 44 and data[:4] == b"\x01\0\0\0" and data[40:44] == b" EMF":
            emf_records(data)
            open(os.path.join(seeds, "emf_" + stem), "wb").write(b"\x01" + data)
        elif data[:4] == b"\xd7\xcd\xc6\x9a" or data[:6] in (b"\x01\0\x09\0\0\x03", b"\x02\0\x09\0\0\x03"):
            body = wmf_records(data)
            open(os.path.join(seeds, "wmf_" + stem), "wb").write(b"\0" + body)

def token(raw):
    return '"' + "".join("\\x%02X" % b for b in raw) + '"'

with open(dict_path, "w") as out:
    out.write("# Made by make-seeds.sh from %s\n" % corpus)
    for magic in (b"\xd7\xcd\xc6\x9a", b"\x01\0\x09\0\0\x03", b" EMF", b"\x01\0\0\0"):
        out.write("magic_%s=%s\n" % (magic.hex(), token(magic)))
    for f in sorted(wmf_functions):
        out.write("wmf_%04x=%s\n" % (f, token(struct.pack("<H", f))))
    for t in sorted(emf_types):
        out.write("emf_%d=%s\n" % (t, token(struct.pack("<I", t))))
PY
