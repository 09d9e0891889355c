#!/usr/bin/env bash
# The manual page quillet(1): scdoc builds it, mandoc's lint finds nothing to say, man renders it,
# and it documents what the program's --help names: every option, every command and every exit
# status, and nothing the program no longer has.
#
# usage: manual.sh QUILLET SCD_FILE
set -euo pipefail

quillet=$1
source=$2
for tool in scdoc mandoc man; do
    command -v "$tool" >/dev/null ||
        { echo "manual.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
page=$work/quillet.1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

scdoc <"$source" >"$page" || { echo "FAIL: scdoc rejects $source" >&2; exit 1; }

lint=$(mandoc -T lint -W warning "$page" 2>&1) || true
[[ -z $lint ]] || fail "mandoc -T lint:"$'\n'"$lint"

# Wide enough that no paragraph wraps or hyphenates a word; C locale for plain ASCII.
text=$(LC_ALL=C MANWIDTH=1000 MANPAGER=cat PAGER=cat man -l "$page" 2>"$work/man.err") ||
    fail "man -l failed"
[[ -s $work/man.err ]] && fail "man -l: $(cat "$work/man.err")"
[[ -n $text ]] || fail "man -l renders nothing"

# The rendered text of one section: from its heading (at the margin) to the next.
section() {  # name
    awk -v name="$1" '/^[^ ]/ { on = ($0 == name); next } on' <<<"$text"
}

for name in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" SIGNALS PERMISSIONS FILES \
    EXAMPLES; do
    [[ -n $(section "$name") ]] || fail "no section $name"
done

# Two sets of words, one a line, must be equal; says which words either side lacks.
same_set() {  # what expected-words documented-words
    local missing extra
    missing=$(comm -23 <(sort -u <<<"$2") <(sort -u <<<"$3") | tr '\n' ' ')
    extra=$(comm -13 <(sort -u <<<"$2") <(sort -u <<<"$3") | tr '\n' ' ')
    [[ -z $missing ]] || fail "$1 that --help names but the page lacks: $missing"
    [[ -z $extra ]] || fail "$1 the page documents but --help does not name: $extra"
}

help=$("$quillet" --help)
# The blocks of --help: "Options:" and "Subcommands:" up to a blank line, the entry's names
# first on each line ("-h,--help" is two); the epilogue names each exit status as "; N ".
help_options=$(sed -n '/^Options:$/,/^$/s/^  \(-[^ ]*\).*/\1/p' <<<"$help" | tr ',' '\n')
help_commands=$(sed -n '/^Subcommands:$/,/^$/s/^  \([^ -][^ ]*\).*/\1/p' <<<"$help")
help_codes=$(sed -n '/^Exit status/,/^Ctrl-C/p' <<<"$help" | tr '\n' ' ' |
    grep -oE '[:;] [0-9]+ ' | tr -dc '0-9\n')
# A parse that finds nothing would pass every check below.
grep -qx -- --help <<<"$help_options" || fail "no --help among the options parsed from --help"
grep -qx update <<<"$help_commands" || fail "no update among the commands parsed from --help"
grep -qx 0 <<<"$help_codes" || fail "no exit status 0 parsed from the epilogue of --help"

# The page's entries: their names stand at the entry indentation (7 columns), "-h, --help" two.
entries() {  # section
    section "$1" | sed -n 's/^       \([^ ].*\)/\1/p' | sed 's/, /\n/g' | cut -d' ' -f1
}
same_set "options" "$help_options" "$(entries OPTIONS)"
same_set "commands" "$help_commands" "$(entries COMMANDS)"
same_set "exit statuses" "$help_codes" "$(entries "EXIT STATUS")"

# Every command's usage is in the synopsis.
synopsis=$(section SYNOPSIS)
while read -r command; do
    grep -qE "^ +quillet .*\\b$command\\b" <<<"$synopsis" || fail "SYNOPSIS lacks $command"
done <<<"$help_commands"

if ((failures > 0)); then
    exit 1
fi
echo "ok: the page builds and lints clean, and documents every option, command and exit status"
