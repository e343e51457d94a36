#!/bin/sh
# Writes seeds for the conversion fuzzer into DIR: clipboard data with many shapes nested,
# repeated, left unclosed or interleaved with their end tags (with picture and formula image
# data, crops and fallback pictures), nested conditional comments and anchors. Each stays
# under the fuzzer's 16 KB input limit; the smaller ones are also converted literally.
#   make-seeds.sh DIR
set -eu
DIR=$1
mkdir -p "$DIR"

# rep TEXT N: TEXT N times; TEXT may hold %d, replaced by the repetition's number.
rep() {
    i=0
    while [ "$i" -lt "$2" ]; do
        printf '%s' "$1" | sed "s/%d/$i/g"
        i=$((i + 1))
    done
}

# seed NAME: the clipboard page around the body read from standard input.
seed() {
    {
        printf 'Version:0.9\r\nStartHTML:0000000105\r\nSourceURL:file:///C:/a.docx\r\n'
        printf '<html><body><!--StartFragment-->'
        cat
        printf '<!--EndFragment--></body></html>'
    } > "$DIR/gen_$1.html"
}

SHAPE='<v:shape id="_x0000_s%d" style='"'"'width:41.5pt;height:2in'"'"'><v:imagedata src="file:///C:/t/image%d.png" o:title="" croptop="1f"/>'
FORMULA='<v:shape id="_x0000_f%d" style="width:30pt;height:15.75pt"><v:imagedata src="file:///C:/t/eq%d.wmz"/>'
FALLBACK='<![if !vml]><span><img width=55 height=192 src="file:///C:/t/image%d.gif" v:shapes="_x0000_s%d"></span><![endif]>'

for n in 8 45; do
    { rep '<v:shape>' $n; rep '</v:shape>' $n; } | seed "nested_$n"
    { printf '<!--[if gte vml 1]>'; rep "$SHAPE" $n; rep '</v:shape>' $n; printf '<![endif]-->'
      rep "$FALLBACK" $n; } | seed "nested_vml_$n"
    { rep "<p class=MsoNormal><!--[if gte vml 1]>$FORMULA</v:shape><![endif]-->$FALLBACK</p>" $n; } \
        | seed "repeated_$n"
    { printf '<!--[if gte vml 1]>'; rep "$SHAPE" $n; printf '<![endif]-->'; rep "$FALLBACK" $n; } \
        | seed "unclosed_$n"
    { printf '<!--[if gte vml 1]>'; rep "</v:shape>$SHAPE$FORMULA</v:shape>" $n; printf '<![endif]-->'
      rep "$FALLBACK" $n; } | seed "interleaved_$n"
    { rep '<!--[if gte vml 1]><v:shapetype id="t%d"><v:shape>' $n; rep '<![endif]-->' $n; } \
        | seed "nested_comments_$n"
    { rep '<a name="OLE_LINK%d"><span><![if !vml]>' $n; rep '</a><![endif]></span>' $n; } \
        | seed "nested_anchors_$n"
done
