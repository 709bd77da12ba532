#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# exactly the programs, the engine library, the menu entry, the icon and the
# manual pages, each where the system looks for it, and the installed programs
# running on their own library (the build's folder out of reach). When
# `make package` has built the Debian package from this build, its tree is
# checked the same way.
set -euo pipefail
build=$1 bindir=$2 libdir=$3 datadir=$4 mandir=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Every file of the tree under $1, one relative path a line, sorted.
tree() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); }

check_tree() {
  local root=$1 bin=$1/$bindir lib=$1/$libdir
  local expected
  expected=$(LC_ALL=C sort <<END
$bindir/payxref
$bindir/payxref-db
$libdir/liblce32.so
$datadir/applications/payxref.desktop
$datadir/icons/hicolor/scalable/apps/payxref.svg
$mandir/man1/payxref.1.gz
$mandir/man1/payxref-db.1.gz
END
)
  [ "$(tree "$root")" = "$expected" ] || fail "$root holds other files than expected:
$(diff <(echo "$expected") <(tree "$root") || true)"

  # The run path leads from bin/ to the installed library, never into the build.
  for program in payxref payxref-db; do
    local runpath
    runpath=$(readelf -d "$bin/$program" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
    case "$runpath" in
      *"$build"*) fail "$program's run path points into the build: $runpath" ;;
      '$ORIGIN/'*) ;;
      *) fail "$program's run path is not relative to it: '$runpath'" ;;
    esac
    local loaded
    loaded=$(env -u LD_LIBRARY_PATH ldd "$bin/$program" | sed -n 's/.*liblce32\.so => \(.*\) (0x.*/\1/p')
    [ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$lib/liblce32.so")" ] ||
      fail "$program loads '$loaded', not the installed liblce32.so"
  done

  local desktop=$root/$datadir/applications/payxref.desktop
  desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
  for line in "Name=Payment Cross Reference Tool" "Exec=payxref" "Icon=payxref" "Categories=Office;Finance;" \
      "Type=Application"; do
    grep -qxF "$line" "$desktop" || fail "the desktop entry lacks '$line'"
  done
  grep -q '<svg' "$root/$datadir/icons/hicolor/scalable/apps/payxref.svg" || fail "the icon is not an SVG image"

  # Manual pages that format without a warning; payxref's names every option of the search.
  for page in payxref payxref-db; do
    local text
    text=$(zcat "$root/$mandir/man1/$page.1.gz" | groff -man -Tutf8 -P-cbu -ww 2>"$work/groff.err") ||
      fail "$page.1 does not format"
    [ ! -s "$work/groff.err" ] || fail "$page.1 formats with warnings: $(cat "$work/groff.err")"
    grep -q "^NAME" <<<"$text" || fail "$page.1 has no NAME section"
  done
  local options
  options=$(zcat "$root/$mandir/man1/payxref.1.gz" | groff -man -Tutf8 -P-cbu 2>/dev/null)
  for option in --from --to --chart --provider --code --min-difference --format --output --summary --pdf \
      --quiet --help; do
    grep -q -- "^ *$option\b" <<<"$options" || fail "payxref.1 does not describe $option"
  done

  # The installed tools make a practice and search it as the build's payxref does.
  local practice=$work/practice-$(basename "$root")
  env -u LD_LIBRARY_PATH "$bin/payxref-db" demo "$practice" --transactions 400 --seed 3 >/dev/null ||
    fail "the installed payxref-db could not make a demo practice"
  env -u LD_LIBRARY_PATH "$bin/payxref" search "$practice" >"$work/installed.txt" ||
    fail "the installed payxref search failed"
  "$build/bin/payxref" search "$practice" >"$work/built.txt"
  [ "$(wc -l <"$work/built.txt")" -gt 3 ] || fail "the demo practice lists too little to compare"
  cmp -s "$work/installed.txt" "$work/built.txt" || fail "the installed payxref lists otherwise than the build's"

  # The PDF report, where the search offers it.
  if "$bin/payxref" search --help 2>&1 | grep -q -- --pdf; then
    env -u LD_LIBRARY_PATH -u QT_QPA_PLATFORM -u DISPLAY "$bin/payxref" search --quiet --pdf "$work/report.pdf" \
      "$practice" >/dev/null 2>"$work/pdf.err" || fail "the installed payxref wrote no PDF: $(cat "$work/pdf.err")"
    pdftotext "$work/report.pdf" - 2>/dev/null | grep -q "Page 1 of" || fail "the PDF report has no page numbers"
    rm -f "$work/report.pdf"
  fi
}

env -u DESTDIR cmake --install "$build" --prefix "$work/root" >/dev/null
check_tree "$work/root"

# The Debian package, when `make package` has built it from this very build.
deb=$(ls -t "$build"/payxref_*.deb 2>/dev/null | head -n 1 || true)
if [ -n "$deb" ] && [ "$deb" -nt "$build/bin/payxref" ]; then
  dpkg-deb -x "$deb" "$work/deb"
  check_tree "$work/deb/usr"
  dpkg-deb -f "$deb" Package | grep -qx payxref || fail "the package is not named payxref"
  for dependency in libqt6widgets6 libqt6printsupport6 libsqlite3-0; do
    dpkg-deb -f "$deb" Depends | grep -q "\b$dependency\b" || fail "the package does not depend on $dependency"
  done
fi

[ "$failures" -eq 0 ]
