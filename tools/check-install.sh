#!/usr/bin/env bash
# Checks what an install gives, without touching the system: installs a build
# into the ~/.local of a temporary home and validates the desktop entry, the
# list files' MIME type and the AppStream metadata, runs the installed program
# as that home's user to see where it keeps its files, then makes the Debian
# package into a
# temporary folder and checks its files and dependencies.
# Usage: tools/check-install.sh BUILD_DIR [README_FROM_BIN]
#   README_FROM_BIN: where the program looks for its installed readme's
#   folder, relative to its own (default ../share/doc/quorvel).
set -euo pipefail
build=$(cd "$1" && pwd)
tools=$(cd "$(dirname "$0")" && pwd)
doc_from_bin=${2:-../share/doc/quorvel}
id=org.example.quorvel.Quorvel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# --- cmake --install into a temporary prefix: a user's own ~/.local --------------
home=$work/home
prefix=$home/.local
cmake --install "$build" --prefix "$prefix" >/dev/null
expected="bin/quorvel
share/applications/$id.desktop
share/doc/quorvel/readme.txt
share/icons/hicolor/scalable/apps/$id.svg
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml"
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$expected" ] || fail "installed files differ:
$installed"
[ -x "$prefix/bin/quorvel" ] || fail "bin/quorvel is not executable"
# The readme is where the installed program looks for it.
[ -f "$prefix/bin/$doc_from_bin/readme.txt" ] || fail "no readme at bin/$doc_from_bin"

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop entry not valid"
grep -qx "Icon=$id" "$desktop" || fail "desktop entry does not name the icon $id"
grep -qx "Exec=quorvel %f" "$desktop" || fail "desktop entry does not start quorvel on a file"
grep -qx "MimeType=application/x-quorvel-list;" "$desktop" || fail "desktop entry names no list file type"
# The action "New Memo": listed, and its group runs quick capture.
grep -qx "Actions=new-memo;" "$desktop" || fail "desktop entry lists no action new-memo"
action=$(sed -n '/^\[Desktop Action new-memo\]$/,/^\[/p' "$desktop")
for line in "Name=New Memo" "Name[ja]=新しいメモ" "Exec=quorvel --new-memo"; do
    grep -qxF "$line" <<<"$action" || fail "desktop action new-memo lacks $line"
done

# The MIME type: the file follows shared-mime-info's rules, and the database
# made from it alone types *.lst files as lists, a kind of plain text, with
# the Japanese description.
mime=$prefix/share/mime/packages/$id.xml
xmllint --noout --relaxng "$tools/shared-mime-info.rng" "$mime" >"$work/mime.log" 2>&1 ||
    fail "MIME file not valid: $(cat "$work/mime.log")"
db=$work/share/mime
mkdir -p "$db/packages"
cp "$mime" "$db/packages/"
# With the tree in the search path it has nothing to say unless something is wrong.
XDG_DATA_HOME=$work/share XDG_DATA_DIRS=$work/share update-mime-database "$db" >"$work/umd.log" 2>&1 ||
    fail "update-mime-database failed: $(cat "$work/umd.log")"
[ ! -s "$work/umd.log" ] || fail "update-mime-database warned: $(cat "$work/umd.log")"
grep -qx "50:application/x-quorvel-list:\*.lst" "$db/globs2" || fail "no glob *.lst in the MIME database"
grep -qx "application/x-quorvel-list text/plain" "$db/subclasses" ||
    fail "the list type is not a kind of text/plain"
grep -qF '<comment xml:lang="ja">Quorvel メモのリスト</comment>' "$db/application/x-quorvel-list.xml" ||
    fail "no Japanese description of the list type"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "AppStream metadata not valid: $(cat "$work/as.log")"
# The tree as a whole: the metadata's launchable names the installed entry.
appstreamcli validate-tree --no-net "$prefix" >"$work/tree.log" 2>&1 ||
    fail "installed tree not valid: $(cat "$work/tree.log")"

# --- the installed program, run by that user -------------------------------------
# An installed copy keeps its files in the user's folders, not in bin/, even
# though the user may write there. Its first start on an existing default
# list records that list in its settings file, so the settings show where
# both went. Started without a display; ended once the settings are there.
list=$home/.local/share/quorvel/quorvel.lst
ini=$home/.config/quorvel/quorvel.ini
mkdir -p "$(dirname "$list")"
printf 'memo\r\n' >"$list"
env -i PATH="$PATH" HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/quorvel" >"$work/run.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    [ -f "$ini" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
if [ ! -f "$ini" ]; then
    fail "the installed program wrote no $ini: $(ls -A "$home/.config" "$prefix/bin" 2>&1; cat "$work/run.log")"
else
    grep -qa "=$list" "$ini" || fail "the settings do not name the list $list: $(cat "$ini")"
fi
[ "$(ls -A "$prefix/bin")" = quorvel ] || fail "files beside the installed program: $(ls -A "$prefix/bin")"
# A first memo added from a script by a user who never started the program:
# the user's folders are made for it, and no display is needed.
fresh=$work/fresh
mkdir -p "$fresh"
env -i PATH="$PATH" HOME="$fresh" LANG=C.UTF-8 "$prefix/bin/quorvel" --add 'first memo' \
    >"$work/add.log" 2>&1 || fail "--add on a first start failed: $(cat "$work/add.log")"
[ "$(cat "$fresh/.local/share/quorvel/quorvel.lst" 2>/dev/null)" = $'first memo\r' ] ||
    fail "--add on a first start wrote no list in the user's folders: $(ls -AR "$fresh")"

# --- cpack -G DEB ----------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
    fail "cpack failed: $(cat "$work/cpack.log")"
debs=("$work"/pkg/quorvel_*.deb)
if [ ! -f "${debs[0]}" ]; then
    fail "no package made"
else
    deb=${debs[0]}
    files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | sort)
    [ "$files" = "$expected" ] || fail "package files differ:
$files"
    owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
    [ "$owners" = "root/root" ] || fail "package files not owned by root: $owners"
    depends=$(dpkg-deb -f "$deb" Depends)
    for needed in fonts-ipafont-gothic qt6-qpa-plugins qt6-translations-l10n libc6 libqt6core6 libqt6gui6 \
        libqt6widgets6 libqt6printsupport6 libqt6network6; do
        [[ ", $depends," == *", $needed "* || ", $depends," == *", $needed,"* ]] ||
            fail "package does not depend on $needed: $depends"
    done
    dpkg-deb -x "$deb" "$work/root"
    file "$work/root/usr/bin/quorvel" | grep -q ', stripped' || fail "program in the package not stripped"
fi

if [ "$failed" -ne 0 ]; then
    exit 1
fi
echo "install and package: $(echo "$expected" | wc -l) files, depends: $depends"
