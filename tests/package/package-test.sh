#!/usr/bin/env bash
# The Debian packages: built from a Release build, checked by lintian, listed,
# unpacked into a temporary root (nothing is installed on this machine); the
# unpacked desk prepares an empty desk folder and shows its form on a virtual
# display, and a C program builds against the unpacked liblattix-dev both ways.
#   package-test.sh SOURCE RELEASE-BUILD
set -euo pipefail
# A match that reads its input to the end: with pipefail, "grep -q" stopping early
# would fail the pipeline whenever the writer is still writing (SIGPIPE).
has() { grep "$@" >/dev/null; }

root=$1
build=$2
work=$(mktemp -d)
desk_pid=
cleanup() {
    [ -z "$desk_pid" ] || kill "$desk_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

echo "== building the packages from the Release build $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DREGDESK_TESTS=OFF -DREGDESK_BENCHMARKS=OFF >/dev/null
rm -f "$build"/deb/*.deb
cmake --build "$build" --target deb >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "the packages were not built"; }
version=$(sed -n 's/^#define REGDESK_VERSION "\(.*\)"/\1/p' "$build/generated/RegdeskVersion.h")
for package in regdesk liblattix1 liblattix-dev; do
    deb="$build/deb/${package}_${version}_amd64.deb"
    [ -s "$deb" ] || fail "no $deb"
    echo "   $(basename "$deb"): $(du -k "$deb" | cut -f1) KB, installed $(dpkg-deb -f "$deb" Installed-Size) KB"
done
regdesk_deb="$build/deb/regdesk_${version}_amd64.deb"

echo "== lintian"
lintian --fail-on error --info "$build"/deb/*.deb | tee "$work/lintian.log" || fail "lintian reports errors"

echo "== contents"
for deb in "$build"/deb/*.deb; do
    echo "-- $(basename "$deb")"
    dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}'
done | tee "$work/contents"
for path in ./usr/bin/regdesk ./usr/bin/regdesk-admin ./usr/lib/regdesk/regdesk ./usr/lib/regdesk/regdesk-admin \
    ./usr/lib/regdesk/regdesk-open ./usr/lib/regdesk/regdesk-intake ./usr/lib/regdesk/pdf417 ./usr/lib/regdesk/liblattix.so.1 \
    ./usr/share/regdesk/document.sample.ini ./usr/share/regdesk/收文清单.xlt ./usr/share/applications/regdesk.desktop \
    ./usr/share/icons/hicolor/48x48/apps/regdesk.png ./usr/share/icons/hicolor/128x128/apps/regdesk.png \
    ./usr/share/icons/hicolor/scalable/apps/regdesk.svg ./usr/share/metainfo/regdesk.metainfo.xml \
    ./usr/share/man/man1/regdesk.1.gz ./usr/share/man/man1/regdesk-admin.1.gz ./usr/share/doc/regdesk/copyright \
    ./usr/share/lintian/overrides/regdesk ./usr/lib/x86_64-linux-gnu/liblattix.so.1 ./usr/include/lattix.h \
    ./usr/lib/x86_64-linux-gnu/liblattix.so ./usr/lib/x86_64-linux-gnu/pkgconfig/lattix.pc \
    ./usr/lib/x86_64-linux-gnu/cmake/Lattix/LattixConfig.cmake ./usr/share/doc/liblattix1/copyright \
    ./usr/share/regdesk/guide/form.html ./usr/share/regdesk/guide/addin.html ./usr/share/regdesk/guide/query.html; do
    grep -q "^$path\( \|$\)" "$work/contents" || fail "$path is not in the packages"
done
dpkg-deb -f "$regdesk_deb" Recommends | has libreoffice-calc || fail "LibreOffice Calc is not recommended"
dpkg-deb -f "$regdesk_deb" Depends | has libpoppler-qt6 || fail "Poppler (files of incoming documents) is not a dependency"
dpkg-deb -f "$regdesk_deb" Suggests | has libqt6sql6-psql || fail "the PostgreSQL driver is not suggested"
for deb in "$build"/deb/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
desktop-file-validate "$work/root/usr/share/applications/regdesk.desktop" || fail "the desktop entry is not valid"
grep -q '^Name\[zh_CN\]=公文登记$' "$work/root/usr/share/applications/regdesk.desktop" || fail "no Chinese name"
desktop-file-validate "$work/root/usr/share/applications/regdesk-intake.desktop" || fail "the intake entry is not valid"
grep -q '^Exec=regdesk --intake %F$' "$work/root/usr/share/applications/regdesk-intake.desktop" ||
    fail "the intake entry does not hand the files to the launcher"
zcat "$work/root/usr/share/man/man1/regdesk-admin.1.gz" | has 'import\\-people' || fail "the man page lacks the commands"
# F1 looks for the guide beside the programs.
[ "$(readlink "$work/root/usr/lib/regdesk/guide")" = ../../share/regdesk/guide ] || fail "no link to the guide beside the programs"
[ -s "$work/root/usr/lib/regdesk/guide/form.html" ] || fail "the guide's pages are not found beside the programs"

echo "== the unpacked desk on an empty desk folder"
# The launcher names the packaged folders; here they are under the temporary root.
sed -e "s|/usr/lib/regdesk|$work/root/usr/lib/regdesk|" -e "s|/usr/share/regdesk|$work/root/usr/share/regdesk|" \
    "$work/root/usr/bin/regdesk" >"$work/regdesk"
chmod +x "$work/regdesk"
"$work/regdesk" --version | has -x "regdesk $version" || fail "regdesk --version"
mkdir -p "$work/home" "$work/elsewhere"
folder="$work/home/desk folder"
start=$(date +%s%N)
(cd "$work/elsewhere" && HOME="$work/home" REGDESK_FOLDER="$folder" REGDESK_CONF=/nonexistent \
    exec xvfb-run -a -s '-screen 0 1366x768x24' sh -c '
        "$1" & desk=$!
        timeout 90 xdotool search --sync --onlyvisible --name "^(发文登记|收文登记)\$" >/dev/null
        found=$?
        kill $desk; wait $desk 2>/dev/null
        exit $found' sh "$work/regdesk") >"$work/desk.log" 2>&1 || { cat "$work/desk.log"; fail "the form did not come up"; }
echo "   the form came up $(( ($(date +%s%N) - start) / 1000000 )) ms after the start (first start, folder prepared)"
for file in document.ini data.db 收文清单.xlt; do
    [ -s "$folder/$file" ] || fail "the desk folder has no $file"
done
grep -q $'\r$' "$folder/document.ini" || fail "document.ini has no CR LF lines"
iconv -f CP936 -t UTF-8 "$folder/document.ini" | has "^二维码输出位置=$folder/条码"$'\r$' \
    || fail "the output folder is not in the desk folder"
[ ! -e "$work/elsewhere/data.db" ] || fail "the desk wrote into the folder it was started from"
# A second start keeps what the office has.
printf 'x' >>"$folder/document.ini"
cp "$folder/data.db" "$work/data.before"
HOME="$work/home" REGDESK_FOLDER="$folder" "$work/regdesk" --help >/dev/null
[ "$(tail -c 1 "$folder/document.ini")" = x ] && cmp -s "$folder/data.db" "$work/data.before" \
    || fail "a later start changed the desk folder"
# --intake hands files to regdesk-intake (66: none of the files exists).
status=0
HOME="$work/home" REGDESK_FOLDER="$folder" "$work/regdesk" --intake "$work/missing.pdf" 2>"$work/intake.log" || status=$?
[ "$status" = 66 ] || { cat "$work/intake.log"; fail "regdesk --intake gave $status, not regdesk-intake's 66"; }

echo "== a C program against liblattix-dev"
dev="$work/root/usr"
mkdir "$work/c" && cp "$root/tests/package/hello-lattix.c" "$work/c/"
# pkg-config: the unpacked root stands for the system root.
flags=$(PKG_CONFIG_PATH="$dev/lib/x86_64-linux-gnu/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$work/root" \
    pkg-config --cflags --libs lattix)
(cd "$work/c" && cc -Wall -Werror -o hello-pc hello-lattix.c $flags)
(cd "$work/c" && printf '[PDF]\r\nECCPercent=40\r\n' >hello.ini && LD_LIBRARY_PATH="$dev/lib/x86_64-linux-gnu" ./hello-pc) \
    | has -x encoded || fail "the pkg-config build did not encode"
# CMake: find_package(Lattix) through CMAKE_PREFIX_PATH; the config finds its files relative to itself.
cp "$root/tests/package/consumer.cmake" "$work/c/CMakeLists.txt"
cmake -S "$work/c" -B "$work/c/build" -DCMAKE_PREFIX_PATH="$dev" >/dev/null
cmake --build "$work/c/build" >/dev/null
(cd "$work/c" && LD_LIBRARY_PATH="$dev/lib/x86_64-linux-gnu" ./build/hello-lattix) | has -x encoded \
    || fail "the CMake build did not encode"
ldd "$work/c/build/hello-lattix" | has 'liblattix.so.1' || fail "not linked against liblattix.so.1"
echo "package test passed"
