#!/usr/bin/env bash
# Installs what the desk needs on Debian 12, builds it and prepares a desk
# folder (./desk-folder: the programs, a sample document.ini, the sample list
# template 收文清单.xlt and an empty register database). Then, by the option given:
#   --start   starts the registration desk from the desk folder
#   --test    checks the source format, builds the tests with AddressSanitizer
#             and UBSan and runs them all (the package test among them)
#   --package builds the Debian packages regdesk, liblattix1 and liblattix-dev
#             from the Release build into build/release/deb
#   (none)    stops after the set-up
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
desk="$root/desk-folder"

packages=(
    # build (pkg-config finds freexl)
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-qpa-plugins
    # Qt's own strings in Chinese: the buttons of message boxes and the file dialogs
    qt6-translations-l10n
    # reading .xls sheets; LibreOffice Calc turns .xlsx and .ods into .xls and converts the printed list
    libfreexl-dev libreoffice-calc-nogui
    # fonts for the Chinese forms, and a virtual display for --start on machines without one
    fonts-noto-cjk fontconfig xvfb xauth
    # the barcode self-check: the PDF417 decoder (zxing-cpp) that reads every picture back
    libzxing-dev
    # incoming documents from files: PDF pages rendered by Poppler, TIFF pictures read by Qt
    libpoppler-qt6-dev qt6-image-formats-plugins
    # tests: GoogleTest, PNG for the rendered metafiles; libzint for the peer figures
    # of the encoding benchmark
    libgtest-dev libpng-dev libzint-dev
    # tests: rendering the barcode metafiles
    libreoffice-draw-nogui emf2svg librsvg2-bin
    # tests: regenerating the pinyin table from Unicode's Unihan readings
    python3 unicode-data
    # regdesk-open: the text of Word, WPS and OpenDocument documents for add-in mode
    libreoffice-writer-nogui
    # the printed list: flat ODS editing (LibreOffice Calc converts, as above)
    libxml2-dev
    # the personnel import: unpacking .xlsx and .ods packages to bound and name their sheets
    zlib1g-dev
    # several desks on one register: the PostgreSQL server (with pg_dump; the tests
    # start a throwaway cluster of it) and Qt's driver for it
    postgresql libqt6sql6-psql
    # libpq itself: attachments and the copy send their values as parameters, bytes as bytes
    libpq-dev
    # the user guide's HTML (F1 opens it), built from docs/guide; the guide's PDF
    # (scripts/make-guide.sh) goes through LibreOffice Writer, installed above
    pandoc
    # the source format check
    clang-format
    # the audit trail's SHA-256 chain (OpenSSL's libcrypto), and its quick check of data.db
    # through SQLite's own interface; tests edit rows of the trail by hand with sqlite3
    libssl-dev libsqlite3-dev sqlite3
    # the Debian packages: CPack's shlibdeps (dpkg-dev, file), man pages from --help,
    # the checks of the package test (lintian, the desktop entry, the form on Xvfb)
    dpkg-dev file help2man lintian desktop-file-utils xdotool
)

install_packages() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "== all packages are installed"
        return
    fi
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build_desk() {
    echo "== building the desk (build/release)"
    cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DREGDESK_TESTS=OFF -DREGDESK_BENCHMARKS=OFF -DCMAKE_INSTALL_PREFIX="$desk" >/dev/null
    cmake --build "$root/build/release" -j "$(nproc)"
    cmake --install "$root/build/release" --component desk >/dev/null
}

prepare_desk_folder() {
    echo "== preparing the desk folder $desk"
    mkdir -p "$desk"
    # The office edits document.ini and owns data.db: never overwrite them.
    if [ ! -e "$desk/document.ini" ]; then
        sed -e "s|@DESK_FOLDER@|$desk|" -e 's/$/\r/' "$root/res/document.sample.ini" |
            iconv -f UTF-8 -t CP936 >"$desk/document.ini"
    fi
    if [ ! -e "$desk/data.db" ]; then
        "$desk/regdesk-admin" init "$desk"
    fi
    # The sample template of the printed list, made from its flat ODS source;
    # an office template put in its place is never overwritten.
    if [ ! -e "$desk/收文清单.xlt" ]; then
        local profile
        profile=$(mktemp -d)
        timeout 120 soffice "-env:UserInstallation=file://$profile" --headless --norestore \
            --convert-to "xlt:MS Excel 97 Vorlage/Template" --outdir "$desk" "$root/res/收文清单.fods" >/dev/null 2>&1 || true
        rm -rf "$profile"
        [ -s "$desk/收文清单.xlt" ] || echo "warning: the list template 收文清单.xlt could not be made (is LibreOffice Calc installed?)"
    fi
}

start_desk() {
    cd "$desk"
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "There is no display here (DISPLAY is not set). To run the desk on a virtual display:"
        echo "    xvfb-run -a -s '-screen 0 1366x768x24' $desk/regdesk"
        echo "Starting it that way now."
        exec xvfb-run -a -s '-screen 0 1366x768x24' "$desk/regdesk"
    fi
    exec "$desk/regdesk"
}

run_tests() {
    echo "== building the tests with AddressSanitizer and UBSan (build/asan)"
    cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DREGDESK_SANITIZE=ON -DREGDESK_WERROR=ON -DREGDESK_TESTS=ON -DREGDESK_BENCHMARKS=ON >/dev/null
    echo "== checking the source format (clang-format)"
    cmake --build "$root/build/asan" --target format-check
    cmake --build "$root/build/asan" -j "$(nproc)"
    echo "== running the tests"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:suppressions=$root/tests/asan.supp"
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir "$root/build/asan" --output-on-failure -j "$(nproc)" --timeout 600
}

install_packages
build_desk
prepare_desk_folder
case "$mode" in
    --start) start_desk ;;
    --test) run_tests ;;
    --package)
        cmake --build "$root/build/release" --target deb
        echo "== packages: $(ls "$root"/build/release/deb/*.deb)"
        ;;
    "") echo "== set-up done; start the desk with: $desk/regdesk" ;;
    *) echo "unknown option $mode (use --start, --test or --package)" >&2; exit 64 ;;
esac
