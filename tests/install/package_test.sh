#!/usr/bin/env bash
# The Debian package: built by cpack from this build tree, it carries the
# tools, the player and the demo saver without debug information (that goes
# into the -dbgsym package), the manuals, completion, the desktop entry and
# the demo saver's link where mate-screensaver runs it, and
# depends on what the programs load. Unpacked into a scratch root, its
# saver-pack makes a saver from the installed player and its saver-inspect
# reads it. Lintian, where installed, finds no error.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! (cd "$build" && cpack -G DEB -B "$work/out") > "$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  exit 1
fi
deb=$(ls "$work"/out/saver_*.deb)
dbgsym=$(ls "$work"/out/saver-dbgsym_*.*deb)

# Dependencies: the linked libraries, and what is loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libmpv2 fonts-dejavu-core libqt6widgets6 libqt6gui6 libturbojpeg0 libtiff6 libc6; do
  [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends lacks $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = saver ] || fail "the package is not named saver"

root=$work/root
dpkg-deb -x "$deb" "$root"
for file in usr/bin/saver-pack usr/bin/saver-inspect usr/bin/saver-effects \
            usr/libexec/saver/saver usr/libexec/saver/quiet-places.scr \
            usr/share/man/man1/saver-pack.1.gz usr/share/man/man1/saver-inspect.1.gz \
            usr/share/man/man1/saver-effects.1.gz usr/share/man/man6/saver.6.gz \
            usr/share/bash-completion/completions/saver-pack \
            usr/share/bash-completion/completions/saver-inspect \
            usr/share/bash-completion/completions/saver-effects \
            usr/share/applications/screensavers/saver-quiet-places.desktop \
            usr/share/doc/saver/copyright usr/share/doc/saver/changelog.gz \
            usr/share/doc/saver/README.md usr/share/doc/saver/manifest.md; do
  [ -e "$root/$file" ] || fail "the package lacks /$file"
done

# No debug information in what the package installs; the -dbgsym package
# holds the player's, under its build id.
for program in usr/bin/saver-pack usr/libexec/saver/saver usr/libexec/saver/quiet-places.scr; do
  if readelf -S "$root/$program" | grep -q '\.debug_info'; then
    fail "/$program carries debug information"
  fi
done
build_id=$(readelf -n "$root/usr/libexec/saver/saver" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
dpkg-deb -c "$dbgsym" > "$work/dbgsym.list"
grep -q "usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug" "$work/dbgsym.list" ||
  fail "the -dbgsym package lacks the player's debug information ($build_id)"

# mate-screensaver runs only programs in its own folders and XScreenSaver's:
# the demo saver is linked into the latter, and its desktop entry runs it
# from there; the entry's Settings action opens its settings.
link=usr/libexec/xscreensaver/saver-quiet-places
[ "$(readlink "$root/$link")" = ../saver/quiet-places.scr ] ||
  fail "/$link is not a relative link to the demo saver: $(readlink "$root/$link")"
[ "$(readlink -f "$root/$link")" = "$(readlink -f "$root/usr/libexec/saver/quiet-places.scr")" ] ||
  fail "/$link does not lead to the installed demo saver"
entry="$root/usr/share/applications/screensavers/saver-quiet-places.desktop"
for line in "TryExec=/$link" "Exec=/$link -root" "Actions=Settings;" "[Desktop Action Settings]" \
            "Exec=/usr/libexec/saver/quiet-places.scr /c"; do
  grep -qxF "$line" "$entry" || fail "the desktop entry lacks the line $line"
done
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate finds the desktop entry wrong"
fi

# The installed tools run from the scratch root, with the installed player.
version=$("$root/usr/bin/saver-pack" --version)
[ "$version" = "saver-pack $(dpkg-deb -f "$deb" Version)" ] || fail "saver-pack --version says '$version'"
"$root/usr/bin/saver-pack" -q -o "$work/dunes.scr" --title Dunes "$source/assets/dunes.jpg" ||
  fail "the installed saver-pack cannot pack"
json=$("$root/usr/bin/saver-inspect" --json "$work/dunes.scr") || fail "the installed saver-inspect cannot read its saver"
player_size=$(stat -c %s "$root/usr/libexec/saver/saver")
grep -q "\"payload_start\": $player_size," <<< "$json" ||
  fail "the saver does not start with the installed player ($player_size bytes)"
grep -q '"Title": "Dunes"' <<< "$json" || fail "the saver lost its title"
"$root/usr/bin/saver-inspect" "$root/usr/libexec/saver/quiet-places.scr" | grep -q 'Quiet Places' ||
  fail "the installed demo saver does not read back"

if command -v lintian > /dev/null; then
  if ! lintian --fail-on error "$deb" "$dbgsym" > "$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian found errors"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures package checks failed" >&2
  exit 1
fi
echo "package: $(basename "$deb") checked"
