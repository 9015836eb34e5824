#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks the tree: every file in its place with its
# mode, the compiled-in manual path inside the tree, icons of the sizes their folders name, man
# pages without groff warnings, the desktop entry and the metainfo valid and agreeing with each
# other, the version of changelog and metainfo equal to the project's.
# usage: install_tree.sh BUILD_DIR SOURCE_DIR PREFIX VERSION
set -uo pipefail
build=$1 source=$2 prefix=$3 version=$4
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR=$dest cmake --install "$build" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }
root=$dest$prefix
id=ru.norvelt.qpx

expect() { # MODE PATH...
  local mode=$1 path
  shift
  for path; do
    if [ ! -f "$root/$path" ]; then
      fail "missing $path"
    elif [ "$(stat -c %a "$root/$path")" != "$mode" ]; then
      fail "$path has mode $(stat -c %a "$root/$path"), expected $mode"
    fi
  done
}
expect 755 bin/qpx bin/qpx-cli
expect 644 share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/qpx.svg \
  share/man/man1/qpx.1.gz share/man/man1/qpx-cli.1.gz \
  share/bash-completion/completions/qpx-cli \
  share/doc/qpx/copyright share/doc/qpx/changelog.gz
for s in 16 22 24 32 48 64 128 256; do expect 644 share/icons/hicolor/${s}x$s/apps/qpx.png; done
bad_dirs=$(find "$root" -type d ! -perm 755)
[ -z "$bad_dirs" ] || fail "folders not 0755: $bad_dirs"

# The manual: installed where the program looks for it once it is not beside the executable (the
# path is a QStringLiteral, UTF-16 in the binary).
help=$( (strings "$build/src/qpx"; strings -e l "$build/src/qpx") | grep -m1 '/qpx\.html$')
[ "$help" = "$prefix/share/qpx/qpx.html" ] || fail "compiled-in manual path \"$help\""
if [ -f "$source/docs/manual/qpx.html" ]; then
  expect 644 "share/qpx/qpx.html"
  [ ! -d "$source/docs/manual/qpx-help" ] || [ -d "$root/share/qpx/qpx-help" ] || fail "qpx-help/ not installed"
fi

# Each PNG is as large as its folder says (the icon theme looks it up by that name).
for png in "$root"/share/icons/hicolor/*x*/apps/qpx.png; do
  folder=$(basename "$(dirname "$(dirname "$png")")")
  size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$png")
  [ "$size" = "$folder" ] || fail "$png is $size"
done

for page in qpx qpx-cli; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
  zcat "$root/share/man/man1/$page.1.gz" | grep -q '@[A-Z_]*@' && fail "man page $page has an unreplaced @VARIABLE@"
  zcat "$root/share/man/man1/$page.1.gz" | grep -q "\"qpx $version\"" || fail "man page $page does not carry version $version"
done
[ "$(gzip -cd "$root/share/doc/qpx/changelog.gz" | head -1)" = "qpx ($version) unstable; urgency=medium" ] ||
  fail "changelog does not start with version $version"
# No time stamp in the gzip headers: the same tree gives the same package.
for gz in share/doc/qpx/changelog.gz share/man/man1/qpx.1.gz share/man/man1/qpx-cli.1.gz; do
  [ "$(od -An -tu4 -j4 -N4 "$root/$gz" | tr -d ' ')" = 0 ] || fail "$gz has a time stamp"
done

desktop=$root/share/applications/$id.desktop
metainfo=$root/share/metainfo/$id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null || {
  appstreamcli validate --no-net --pedantic "$metainfo" >&2
  fail "appstreamcli validate"
}
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/bin/$exec_name" ] || fail "the desktop entry starts \"$exec_name\", not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon \"$icon\""
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo launchable"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"
for shot in $(sed -n 's|.*<image>.*/\([^/<]*\)</image>.*|\1|p' "$metainfo"); do
  [ -f "$source/docs/$shot" ] || fail "screenshot $shot is not in docs/"
done

[ $failures -eq 0 ] && echo "install tree OK ($root)"
exit $((failures > 0))
