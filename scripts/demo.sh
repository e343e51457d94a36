#!/bin/sh
# The demo: the plug-in in a real browser engine (QtWebKit), pasting a Word document whose
# pictures are local files and uploading them to the project's upload server; then (on the
# private display) the same paste in Chromium's CKEditor 5 demo page through the extension.
#
#   scripts/demo.sh [BUILD]      (make demo BUILD=build)
#
# Without DISPLAY it runs on a private Xvfb display, prints the final HTML and the
# screenshot path, and exits. With DISPLAY the window stays open for your own copies (from a
# word processor, a file manager, a screenshot tool): press Paste or Ctrl+V in the editor.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
python=/usr/bin/python3
corpus=${QUILLON_CORPUS_DIR:-$here/../shared/corpus}
[ -d "$corpus" ] || corpus=/work/shared/corpus
sample=${QUILLON_DEMO_DOCUMENT:-$corpus/word/ck4_unsupported-formats_word365mac_chrome.html}

for f in "$build/libnpQuillon.so" "$build/quillon"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "demo: $f is missing; run make build first" >&2; exit 1; }
done

if [ -z "${DISPLAY:-}" ]; then
  echo "demo: no DISPLAY, running on a private Xvfb display"
  QUILLON_DEMO_HEADLESS=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$0" "$build"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-demo.XXXXXX")
server_pid=""
owner_pid=""
cleanup() {
  [ -n "$owner_pid" ] && kill "$owner_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The upload server, on a free port; it prints the port once it listens.
mkdir -p "$work/uploads"
"$build/quillon" serve --dir "$work/uploads" >"$work/port" 2>"$work/server.log" &
server_pid=$!
i=0
while [ ! -s "$work/port" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
port=$(head -n 1 "$work/port")
[ -n "$port" ] || { echo "demo: the upload server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
echo "demo: upload server at http://127.0.0.1:$port/ storing into $work/uploads"

# A Word document whose pictures are real files, as "HTML Format" on the X clipboard.
"$python" "$here/tools/runner/clipsample.py" word "$sample" "$work/doc" >/dev/null
echo "demo: pasting $(basename "$sample") with its pictures:"
sed 's/^/  /' "$work/doc/pictures.txt"
xclip -quiet -selection clipboard -t "HTML Format" -i "$work/doc/clip.html" >/dev/null 2>&1 &
owner_pid=$!
sleep 0.5

out="$build/demo"
mkdir -p "$out"
rm -f "$out/screenshot.png"
keep=""
[ -n "${QUILLON_DEMO_HEADLESS:-}" ] || keep="--keep-open"
status=0
"$python" "$here/tools/runner/quillon_runner.py" --plugin-dir "$build" --require-plugin \
  --timeout 120 --size 1024x900 --screenshot "$out/screenshot.png" $keep \
  "$here/tools/demo/index.html?server=http://127.0.0.1:$port/upload&auto=1" \
  | tee "$out/console.log" || status=$?
# The runner's status is the page's verdict (tee's is always 0).
if grep -q '^runner: page finished with ' "$out/console.log"; then
  status=$(sed -n 's/^runner: page finished with \(-\{0,1\}[0-9]*\)$/\1/p' "$out/console.log" | tail -n 1)
else
  status=1
fi

"$python" - "$out/console.log" "$out/final.html" <<'EOF'
import json, sys
final = None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if line.startswith("console: demo: final html "):
        final = json.loads(line[len("console: demo: final html "):])
if final is not None:
    open(sys.argv[2], "w", encoding="utf-8").write(final)
    print("demo: final HTML (%s):" % sys.argv[2])
    print(final)
EOF
echo "demo: uploaded files: $(ls "$work/uploads" | tr '\n' ' ')"
[ -f "$out/screenshot.png" ] && echo "demo: screenshot $out/screenshot.png"

# The same sample in Chromium through the extension and quillon-host, in the CKEditor 5 demo
# page (tools/demo/ckeditor5.html; tools/demo/tinymce.html is the TinyMCE one).
if [ -n "${QUILLON_DEMO_HEADLESS:-}" ] && [ -d "$here/node_modules/ckeditor5" ] && \
   [ -x "$build/quillon-host" ] && [ -d "$build/extension" ]; then
  kill "$owner_pid" 2>/dev/null || true
  owner_pid=""
  "$python" "$here/tests/editors/editors_case.py" --build "$build" --corpus "$corpus" \
    --document "$sample" --out "$out" demo || status=1
else
  echo "demo: Chromium part skipped (needs make deps for node_modules, and quillon-host)"
fi

[ "$status" = 0 ] && echo "demo: done" || echo "demo: the page reported $status"
exit "$status"
