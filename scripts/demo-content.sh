#!/bin/bash
# demo-content.sh DIR: the pages the demonstration serves: a plain page, a
# UTF-8 page with Cyrillic text (served chunked) and a binary file of 3 MiB.
set -euo pipefail
mkdir -p "$1"
cd "$1"
printf '<html><body><p>A plain page, sent with Content-Length.</p></body></html>\n' >page.html
cat >cyrillic.html <<'PAGE'
<html><body>
<h1>Привет из tcp.dll</h1>
<p>Эта страница пришла по частям (chunked) в UTF-8; utfdek перевёл её в кодовую страницу 1251.</p>
<p>Съешь же ещё этих мягких французских булок, да выпей чаю.</p>
</body></html>
PAGE
head -c $((3 * 1024 * 1024)) /dev/urandom >blob.bin
