#!/usr/bin/env bash
# --version names the version, and the manual pages and the shell completion know every option
# that --help shows (and no other), so that a new option cannot miss them.
# The manual pages checked are the compressed ones that are installed.
# Usage: platform_conventions_test.sh <source dir> <built manual pages> <version> <tolva-cli> [<tolva>]
set -uo pipefail
src=$1 built_man=$2 version=$3 cli=$4 gui=${5:-}
man_dir=$(mktemp -d)
trap 'rm -rf "$man_dir"' EXIT
bash_completion=$src/packaging/completion/tolva-cli.bash
zsh_completion=$src/packaging/completion/_tolva-cli
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
for page in "$src"/packaging/man/*.1; do
    name=$(basename "$page")
    # A build without the desktop program makes no page for it.
    [ "$name" = tolva.1 ] && [ -z "$gui" ] && continue
    if ! zcat "$built_man/$name.gz" >"$man_dir/$name" 2>/dev/null; then
        fail "$name.gz was not built"
    elif ! sed "s/@PROJECT_VERSION@/$version/g" "$page" | cmp -s "$man_dir/$name" -; then
        fail "$name.gz is not the page in the repository"
    fi
done

# A program that does not know an option could open its window and wait: each run is bounded.
run() { timeout 20 "$@" </dev/null; }
options_of() { run "$@" --help 2>&1 | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
man_options() { grep -oE -- '(\\-\\-|--)[a-z]([a-z0-9]|\\-)*' "$1" | sed 's/\\-/-/g' | sort -u; }
# The words bash offers after "tolva-cli <words...>", one a line.
bash_offers() {
    bash -c 'source "$1"; shift; COMP_WORDS=(tolva-cli "$@"); COMP_CWORD=$(($# )); _tolva_cli
             printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" "$@"
}

[ "$(run "$cli" --version)" = "tolva-cli $version" ] || fail "tolva-cli --version says '$(run "$cli" --version)'"
grep -q "\"tolva-cli $version\"" "$man_dir/tolva-cli.1" || fail "tolva-cli.1 does not name version $version"

all_help=$( (options_of "$cli"; options_of "$cli" translate; options_of "$cli" verify; options_of "$cli" locations; options_of "$cli" merge) | sort -u)
for command in "" translate verify locations merge; do
    offered=$(bash_offers $command "")
    for option in $(options_of "$cli" $command); do
        [ "$option" = --help ] && [ -n "$command" ] && continue
        grep -qF -- "${option//-/\\-}" "$man_dir/tolva-cli.1" || fail "tolva-cli.1 lacks $option ($command --help)"
        grep -qxF -- "$option" <<<"$offered" || fail "bash completion of '$command' lacks $option"
        grep -qF -- "$option[" "$zsh_completion" || grep -qF -- "$option}" "$zsh_completion" ||
            grep -qF -- "$option'" "$zsh_completion" || fail "zsh completion lacks $option ($command)"
    done
done
for option in $(man_options "$man_dir/tolva-cli.1"); do
    grep -qxF -- "$option" <<<"$all_help" || fail "tolva-cli.1 names $option, which no --help shows"
done
for command in translate verify locations merge; do
    grep -qxF "$command" <<<"$(bash_offers "")" || fail "bash completion does not offer $command"
done
[ "$(bash_offers verify --format "" | tr '\n' ' ')" = "$(run "$cli" verify --help | grep -oE -- '--format TEXT:\{[a-z,-]*' | sed 's/.*{//; s/,/ /g') " ] ||
    fail "bash completion does not offer the format names"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch" "$man_dir"' EXIT
mkdir "$scratch/Favorites" && touch "$scratch/bookmarks.html"
[ "$(bash_offers translate --source "$scratch/b")" = "$scratch/bookmarks.html" ] ||
    fail "bash completion does not offer file names"
[ "$(bash_offers verify --location "$scratch/F")" = "$scratch/Favorites" ] ||
    fail "bash completion does not offer folder names"
if command -v zsh >/dev/null; then zsh -n "$zsh_completion" || fail "zsh completion does not parse"; fi

if [ -n "$gui" ]; then
    [ "$(QT_QPA_PLATFORM=offscreen run "$gui" --version)" = "tolva $version" ] || fail "tolva --version fails"
    grep -q "\"tolva $version\"" "$man_dir/tolva.1" || fail "tolva.1 does not name version $version"
    for option in $(QT_QPA_PLATFORM=offscreen options_of "$gui"); do
        grep -qF -- "${option//-/\\-}" "$man_dir/tolva.1" || fail "tolva.1 lacks $option"
    done
fi
for page in "$man_dir"/*.1; do
    warnings=$(LC_ALL=C groff -man -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
done
[ "$failures" -eq 0 ] || exit 1
echo "--version, manual pages and completion agree with --help"
