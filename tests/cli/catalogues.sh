#!/usr/bin/env bash
# quillet's catalogues: each compiles with msgfmt --check, fully translated and without fuzzy
# entries, and holds every sentence the sources mark today (po/quillet.pot may be stale; the
# catalogues may not).
#
# usage: catalogues.sh PO_DIR XGETTEXT_COMMAND... SOURCES...
set -euo pipefail

po_dir=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$@" -o "$work/fresh.pot"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
count=0
for po in "$po_dir"/*.po; do
    count=$((count + 1))
    lang=$(basename "$po" .po)
    stats=$(msgfmt --check --statistics -o /dev/null "$po" 2>&1) || fail "$lang: msgfmt --check: $stats"
    echo "$lang: $stats"
    grep -qE 'fuzzy|untranslated' <<<"$stats" && fail "$lang: not fully translated: $stats"
    grep -q "^\"Language: $lang\\\\n\"$" "$po" || fail "$lang: its header names no Language: $lang"
    msgcmp "$po" "$work/fresh.pot" 2>"$work/msgcmp" || fail "$lang: lacks sentences: $(head -n 5 "$work/msgcmp")"
done
((count > 0)) || fail "no catalogue in $po_dir"
if ((failures > 0)); then
    exit 1
fi
echo "ok: $count catalogues, each complete"
