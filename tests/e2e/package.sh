#!/bin/sh
# The Debian package, built once from this build: named taldrex_VERSION_ARCH.deb, its
# dependencies worked out, everything an installed copy needs inside. Unpacked with
# dpkg-deb -x into a temporary folder, its player started in an empty folder without a
# show finds the show unpacked beside it and captures the frames the build tree's player
# captures; its manual pages render with man -l; lintian, desktop-file-validate and
# appstreamcli validate find no error.
. "$(dirname "$0")/lib/session.sh"

BUILD="${TALDREX_BINARY_DIR:?}"
[ -f "$BUILD/show/script.txt" ] || fail "the bundled show was not built"
ldd "$TALDREX" | grep -q libasan && not_applicable "the package is made from a build without the sanitizers"
for tool in cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli man; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/install-deps installs it)"
done
unset DISPLAY WAYLAND_DISPLAY

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1 ||
    fail "cpack did not build the package: $(tail -n 5 "$WORK/cpack.log")"
DEB=$(ls "$WORK"/package/*.deb)
[ -f "$DEB" ] || fail "cpack wrote no single .deb: $DEB"
version=$(dpkg-deb -f "$DEB" Version)
arch=$(dpkg-deb -f "$DEB" Architecture)
[ "$arch" = "$(dpkg --print-architecture)" ] || fail "the package is for $arch"
[ "$(basename "$DEB")" = "taldrex_${version}_${arch}.deb" ] || fail "the package is named $(basename "$DEB")"
# The libraries the programs link are found by dpkg-shlibdeps, with the versions they need.
depends=$(dpkg-deb -f "$DEB" Depends)
for library in libsdl2-2.0-0 libfltk1.3 libmpg123-0 libpng16-16 libjpeg62-turbo libtinygltf libc6; do
    echo "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$DEB" "$WORK/root"
ROOT="$WORK/root/usr"
for file in bin/taldrex bin/taldrex-scene share/taldrex/show/script.txt share/applications/taldrex.desktop \
    share/metainfo/io.github.taldrex.taldrex.metainfo.xml share/man/man1/taldrex.1.gz \
    share/man/man1/taldrex-scene.1.gz share/doc/taldrex/copyright share/doc/taldrex/changelog.gz; do
    [ -s "$ROOT/$file" ] || fail "the package lacks /usr/$file"
done
for size in 16 22 24 32 48 64 128 256; do
    [ "$(identify -format '%wx%h' "$ROOT/share/icons/hicolor/${size}x$size/apps/taldrex.png")" = "${size}x$size" ] ||
        fail "the package lacks the ${size}x$size icon"
done
diff -r "$BUILD/show" "$ROOT/share/taldrex/show" >/dev/null || fail "the packaged show differs from the build's"

# The unpacked player, started where there is no show, plays the show unpacked with it.
mkdir "$WORK/empty"
cd "$WORK/empty" || fail "cannot enter $WORK/empty"
timeout 60 "$ROOT/bin/taldrex" --check >"$WORK/check" 2>&1 || fail "--check of the unpacked show: $(cat "$WORK/check")"
grep -q "^$ROOT/bin/../share/taldrex/show: no problems found" "$WORK/check" ||
    fail "the unpacked player did not check its own show: $(cat "$WORK/check")"
timeout 120 "$ROOT/bin/taldrex" --capture "$WORK/unpacked" --size 160x90 --fps 2 --to 72000 2>"$WORK/stderr" ||
    fail "the unpacked player's capture failed"
[ -z "$(ls -A "$WORK/empty")" ] || fail "the capture wrote into the folder it was started in"
cd "$WORK" || fail "cannot enter $WORK"
run_player 120 --capture "$WORK/built" --size 160x90 --fps 2 --to 72000 "$BUILD/show"
[ "$STATUS" -eq 0 ] || fail "the build tree's capture ended with status $STATUS"
[ "$(ls "$WORK/built" | wc -l)" -gt 100 ] || fail "the build tree's capture wrote $(ls "$WORK/built" | wc -l) frames"
diff -r "$WORK/built" "$WORK/unpacked" >/dev/null || fail "the unpacked player captured other frames than the build's"
"$ROOT/bin/taldrex-scene" dump "$ROOT/share/taldrex/show/data/$(ls "$ROOT/share/taldrex/show/data" | grep -m 1 '\.scn$')" \
    >/dev/null || fail "the packaged taldrex-scene cannot dump a scene of the show"

for page in taldrex taldrex-scene; do
    LC_ALL=C MANWIDTH=80 man --warnings -l "$ROOT/share/man/man1/$page.1.gz" >"$WORK/$page.txt" 2>"$WORK/man.err" ||
        fail "man -l cannot render $page(1)"
    [ ! -s "$WORK/man.err" ] || fail "man -l warns on $page(1): $(cat "$WORK/man.err")"
    grep -q "^NAME" "$WORK/$page.txt" || fail "$page(1) renders without its NAME section"
done

# The desktop entry starts the packaged program with its icon; the metadata names the entry.
desktop="$ROOT/share/applications/taldrex.desktop"
desktop-file-validate "$desktop" >"$WORK/desktop.log" 2>&1 || fail "desktop-file-validate: $(cat "$WORK/desktop.log")"
[ -x "$ROOT/bin/$(sed -n 's/^Exec=\([^ ]*\) .*/\1/p' "$desktop")" ] || fail "the desktop entry's Exec is not in the package"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = taldrex ] || fail "the desktop entry does not name the taldrex icon"
metainfo="$ROOT/share/metainfo/io.github.taldrex.taldrex.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$WORK/appstream.log" 2>&1 || fail "appstreamcli: $(cat "$WORK/appstream.log")"
grep -q '<launchable type="desktop-id">taldrex.desktop</launchable>' "$metainfo" ||
    fail "the AppStream metadata does not name the desktop entry"

lintian --fail-on error "$DEB" >"$WORK/lintian.log" 2>&1 || fail "lintian: $(grep -v '^N:' "$WORK/lintian.log")"
echo "PASS"
