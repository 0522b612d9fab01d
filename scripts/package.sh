#!/usr/bin/env bash
# Installs what is missing, makes the Debian package build/socios_VERSION_ARCH.deb from a Release build in
# build-package/, and checks it: lintian finds no error, the menu entry and the AppStream metadata validate, and
# the program unpacked into a fresh root answers --version (with the package's version) and --help, without a
# display. scripts/test.sh runs it after the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev: dpkg-buildflags and dpkg-shlibdeps (the Depends line); then the checkers.
scripts/setup.sh dpkg-dev lintian desktop-file-utils appstream

step_start=$SECONDS
step() {
    echo "== $* ($((SECONDS - step_start)) s so far)"
}
fail() {
    echo "package.sh: $*" >&2
    exit 1
}

# Debian's hardening flags, as a Debian package build would use them; the same commit makes the same package,
# dated by the commit (the manual page, the changelog, the metadata's release).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
    export SOURCE_DATE_EPOCH
fi

step "building socios (Release) in build-package/"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DSOCIOS_BUILD_TESTS=OFF -DSOCIOS_BUILD_BENCHMARKS=OFF -DSOCIOS_DESKTOP=ON \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
cmake --build build-package

step "making the package"
rm -f build-package/socios_*.deb
(cd build-package && cpack)
built=(build-package/socios_*.deb)
[ ${#built[@]} -eq 1 ] && [ -f "${built[0]}" ] || fail "cpack made no single package: ${built[*]}"
mkdir -p build
deb="build/$(basename "${built[0]}")"
cp "${built[0]}" "$deb"
version="$(dpkg-deb -f "$deb" Version)"

step "Depends, against this machine's packages"
apt-get install --simulate "./$deb" >/dev/null || fail "apt cannot satisfy the Depends of $deb"

step "lintian"
lintian --fail-on error "$deb" || fail "lintian found errors in $deb"

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

step "menu entry and AppStream metadata"
desktop-file-validate "$root/usr/share/applications/socios.desktop"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
# validate-tree: the metadata, and the menu entry and icon it names. --no-net: the homepage and the screenshot's
# address are placeholders that do not answer yet.
appstreamcli validate-tree --no-net "$root"
grep -q "<release version=\"$version\"" "${metainfo[@]}" || fail "the metadata does not name release $version"
zcat "$root/usr/share/man/man1/socios.1.gz" | grep -q "^\.TH SOCIOS \"1\" \".*\" \"socios $version\"" ||
    fail "the manual page is not the one of socios $version"
zcat "$root/usr/share/man/es/man1/socios.1.gz" | grep -q "^\.SH SINOPSIS" ||
    fail "the Spanish manual page has no synopsis: help2man did not read socios --help in Spanish"

step "the installed socios, without a display"
installed=(env -i LC_ALL=C.UTF-8 HOME="$root/home" "$root/usr/bin/socios")
answer="$("${installed[@]}" --version)" || fail "socios --version failed"
[ "$answer" = "socios $version" ] || fail "socios --version says '$answer', the package is $version"
help="$("${installed[@]}" --help)" || fail "socios --help failed"
grep -q -- "--version" <<<"$help" || fail "socios --help lists no --version: $help"
# The translations are inside the program: a Spanish locale gets Spanish with nothing else installed.
spanish="$(env -i LANG=es_ES.UTF-8 HOME="$root/home" "$root/usr/bin/socios" --help)" || fail "socios --help failed"
grep -q "Muestra la versión" <<<"$spanish" || fail "socios --help in a Spanish locale is not Spanish: $spanish"
# The Access reader is installed where socios looks for it.
mkdir -p "$root/home"
imported="$("${installed[@]}" --import-access "$PWD/tests/data/ficha-jet4.mdb")" ||
    fail "the installed socios cannot import an Access file"
grep -q "imported 242 members" <<<"$imported" || fail "the installed socios imported: $imported"
# The workbook, with the library the package depends on.
exported="$("${installed[@]}" --export-xlsx "$root/home/socios.xlsx")" ||
    fail "the installed socios cannot write a workbook"
grep -q "exported 242 members" <<<"$exported" || fail "the installed socios exported: $exported"

step "done"
echo "$deb: $(stat -c %s "$deb") bytes, $(dpkg-deb -f "$deb" Installed-Size) KiB installed"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
