#!/usr/bin/env bash
# Regenerates the user guide (docs/guide): every screenshot from the real
# program on a virtual display with a sample register, then the HTML and the
# PDF. The screenshots (docs/guide/images/*.png) are committed; the HTML and
# the PDF are written to build/guide/ and are not.
#
#   scripts/make-guide.sh
#
# Needs what the set-up installs (scripts/setup.sh: Qt, the test libraries,
# Xvfb, pandoc, LibreOffice Writer and the CJK fonts). The two screenshot
# programs are built in build/guide/build; REGDESK_GUIDE_BUILD names another
# build folder configured with REGDESK_TESTS=ON to take them from instead.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/guide"
images="$root/docs/guide/images"
build=${REGDESK_GUIDE_BUILD:-$out/build}
screen='-screen 0 1366x768x24'

for tool in xvfb-run pandoc soffice; do
    command -v "$tool" >/dev/null || { echo "make-guide.sh: $tool is missing; run scripts/setup.sh first" >&2; exit 1; }
done

echo "== building the screenshot programs ($build)"
if [ -z "${REGDESK_GUIDE_BUILD:-}" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DREGDESK_TESTS=ON \
        -DREGDESK_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" --target regdesk_form_screenshot regdesk_query_screenshot

echo "== taking the screenshots into $images"
mkdir -p "$images"
rm -f "$images"/*.png
# Each program shows its windows with a sample register in a temporary desk
# folder and saves what the screen shows.
xvfb-run -a -s "$screen" "$build/tests/desk/regdesk_form_screenshot" "$images"
xvfb-run -a -s "$screen" "$build/tests/query/regdesk_query_screenshot" "$images"

echo "== building the HTML ($out/html)"
rm -rf "$out/html"
"$root/scripts/build-guide-html.sh" "$root/docs/guide" "$out/html"

echo "== building the PDF ($out/regdesk-guide.pdf)"
# LibreOffice needs a profile of its own, in a real folder it may write (an
# empty UserInstallation path would make it work on /), and is stopped if it
# hangs. soffice exits 0 even when it wrote nothing: look for the file.
profile=$(mktemp -d "${TMPDIR:-/tmp}/regdesk-guide-office.XXXXXX")
trap 'rm -rf "$profile"' EXIT
rm -f "$out/html/guide-full.pdf" "$out/regdesk-guide.pdf"
timeout 300 soffice "-env:UserInstallation=file://$profile" --headless --norestore \
    --convert-to pdf:writer_web_pdf_Export --outdir "$out/html" "$out/html/guide-full.html" >/dev/null 2>&1 || true
if [ ! -s "$out/html/guide-full.pdf" ]; then
    echo "make-guide.sh: LibreOffice did not write the PDF" >&2
    exit 1
fi
mv "$out/html/guide-full.pdf" "$out/regdesk-guide.pdf"
echo "== done: $out/html/index.html and $out/regdesk-guide.pdf"
