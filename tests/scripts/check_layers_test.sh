#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails on each kind of include it forbids.
set -uo pipefail
check=$1/scripts/check-layers
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

"$check" "$1/src" >/dev/null || fail "the tree itself does not pass"
for bad in '#include <QString>' '#include "gui/qt_person.h"' '#include "translate/translation_run.h"'; do
    rm -rf "$tree/src" && cp -r "$1/src" "$tree/src"
    printf '%s\n' "$bad" >> "$tree/src/model/entry_text.cpp"
    "$check" "$tree/src" 2>/dev/null && fail "passed with '$bad' in model/"
done
echo "check-layers: passes on the tree, fails on Qt, gui/ and upward includes"
