#!/bin/sh
# The manual pages tell what the programs' --help tells: every option a --help lists is in
# the page, every option the page names is in a --help, and each taldrex-scene command has
# its own section.
. "$(dirname "$0")/lib/session.sh"

BUILD="${TALDREX_BINARY_DIR:?}"
SCENE_TOOL="$BUILD/tools/taldrex-scene/taldrex-scene"
command -v man >/dev/null 2>&1 || skip "man is not installed (scripts/install-deps installs man-db)"

# The long options named in standard input, one a line.
options() {
    grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u
}

# Renders manual page $1 as plain text into $2.
render() {
    LC_ALL=C MANWIDTH=200 man -l "$BUILD/packaging/$1.1.gz" 2>/dev/null | col -b >"$2"
    grep -q "^NAME" "$2" || fail "$1(1) does not render"
}

# Fails unless every option in file $1 appears in file $2; $3 says what each one is.
all_in() {
    for option in $(options <"$1"); do
        grep -qe "$option\b" "$2" || fail "$option is in $3 but not in the other"
    done
}

render taldrex "$WORK/taldrex.page"
"$TALDREX" --help >"$WORK/taldrex.help" || fail "taldrex --help ended with an error"
all_in "$WORK/taldrex.help" "$WORK/taldrex.page" "taldrex --help"
all_in "$WORK/taldrex.page" "$WORK/taldrex.help" "taldrex(1)"

render taldrex-scene "$WORK/scene.page"
"$SCENE_TOOL" --help >"$WORK/scene.help" || fail "taldrex-scene --help ended with an error"
commands=$(sed -n '/^Subcommands:/,$s/^  \([a-z][a-z-]*\) .*/\1/p' "$WORK/scene.help")
[ -n "$commands" ] || fail "taldrex-scene --help lists no command"
for command in $commands; do
    grep -q "^   $command\$" "$WORK/scene.page" || fail "taldrex-scene(1) has no section for $command"
    "$SCENE_TOOL" "$command" --help >>"$WORK/scene.help" || fail "taldrex-scene $command --help ended with an error"
done
all_in "$WORK/scene.help" "$WORK/scene.page" "a taldrex-scene --help"
all_in "$WORK/scene.page" "$WORK/scene.help" "taldrex-scene(1)"
echo "PASS"
