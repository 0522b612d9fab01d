#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing socios need, and only those that are missing.
# Packages named as arguments are installed too (scripts/package.sh names its tools).
set -euo pipefail

packages=(
    cmake ninja-build g++
    qt6-base-dev libqt6sql6-sqlite
    # The member store on a server: Qt's PostgreSQL driver, libpq's headers, and the server that the tests and
    # benchmarks start and stop themselves (scripts/test-postgres.sh).
    libqt6sql6-psql libpq-dev postgresql
    # socios-mdb-reader: libmdb, the Access library, found through pkg-config.
    mdbtools-dev pkg-config
    # socios --export-xlsx: libxlsxwriter, found through pkg-config; the tests read the workbook back with unzip.
    libxlsxwriter-dev unzip
    # Qt's own texts in Spanish (qtbase_es: the dialogs' standard buttons, the boxes' context menus)
    qt6-translations-l10n
    # The translations of socios's own sentences: Qt's CMake functions (qt6-tools-dev) and lupdate/lrelease
    # (qt6-l10n-tools). The tests run the program in Spanish and English locales, which must exist (locales-all).
    qt6-tools-dev qt6-l10n-tools locales-all
    libbenchmark-dev
    # The tests that start socios on a real display: an X server of their own (scripts/test-xvfb.sh).
    xvfb
    fonts-liberation2 fonts-comic-neue
    # The manual page, written from socios --help, and the icons, drawn from packaging/socios.svg.
    help2man librsvg2-bin
    # scripts/test-sanitizers.sh: clang with its runtimes (libFuzzer, sanitizers); g++ brings its own sanitizers.
    clang libclang-rt-dev
    # The tests that kill or hold up the real program at each of its renames (TestCommandLine).
    strace
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
