#!/usr/bin/env bash
# The bash completion of quillet, loaded into a plain bash (no bash-completion helpers) and asked
# as readline asks it: commands, options before and after the command, the folders and files the
# options take, the drives for DEVICE and the catalogue's images for IMAGE. Its options must be
# the ones quillet --help prints.
#
# usage: completion.sh QUILLET COMPLETION_FILE
set -euo pipefail

quillet=$1
completion=$(realpath "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A catalogue folder, a folder of fake device nodes (real ones cannot be made here) and a current
# directory with an image of its own and a simulated drives' file.
dev=$work/dev
here=$work/here
mkdir -p "$dev" "$here/cat/sub.BIN" "$here/other"
touch "$dev/sg0" "$dev/sg1" "$dev/sr0" "$dev/tty0"
touch "$here/cat/A.BIN" "$here/cat/b.cdr" "$here/cat/c.Bin" "$here/cat/notes.txt"
touch "$here/HERE.BIN" "$here/run.tx" "$here/readme"
# CR LF line ends, as in a file written on Windows.
printf '[ASPI]\r\nAdapters=1\r\nDrives=2\r\n\r\n[Drive0]\r\nTarget=1\r\n' >"$here/sim.cfg"
# Numbers as the program reads them: decimal (leading zeros too) or 0x hexadecimal.
printf '[ASPI]\nDrives = 0x3\n' >"$here/hex.cfg"
printf '[ASPI]\ndrives=09\n' >"$here/zero.cfg"

# The words the completion offers for LINE (split at spaces; a trailing space starts an empty
# word, as at the end of a command line), sorted, on one line. Under `set -u`: a user's shell may
# have it on.
offered() {  # line
    (
        cd "$here"
        HOME=$here QUILLET_COMPLETION_DEV=$dev bash --norc --noprofile -c '
            set -u
            source "$1"
            line=$2
            read -ra COMP_WORDS <<<"$line"
            [[ $line == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMP_LINE=$line
            COMP_POINT=${#line}
            _quillet
            ((${#COMPREPLY[@]} == 0)) || printf "%s\n" "${COMPREPLY[@]}"
        ' completion "$completion" "$1" 2>"$work/stderr"
    ) | sort | paste -sd' '
}

# What --help names: options (with "-h,--help" as two) and commands.
help=$("$quillet" --help)
help_options=$(sed -n '/^Options:$/,/^$/s/^  \(-[^ ]*\).*/\1/p' <<<"$help" | tr ',' '\n')
# The update's own options say so first; `list` is not offered them.
update_only=$(sed -n '/^Options:$/,/^$/s/^  \(-[^ ]*\) *update: .*/\1/p' <<<"$help")
help_commands=$(sed -n '/^Subcommands:$/,/^$/s/^  \([^ -][^ ]*\).*/\1/p' <<<"$help")
sorted() { sort <<<"$1" | paste -sd' '; }
all_options=$(sorted "$help_options")
list_options=$(sorted "$(grep -vxF -f <(printf '%s\n' "$update_only") <<<"$help_options")")
[[ $all_options == *--help* && -n $update_only && -n $help_commands ]] ||
    fail "--help did not parse: options '$all_options', commands '$help_commands'"

# Fails unless the completion offers EXPECTED (sorted, one space apart) for LINE.
check() {  # line expected
    local got
    # Anything on standard error would land in the middle of the user's command line.
    if ! got=$(offered "$1") || [[ -s $work/stderr ]]; then
        fail "\"$1\": the completion failed: $(cat "$work/stderr")"
    elif [[ $got != "$2" ]]; then
        fail "\"$1\": offered \"$got\", expected \"$2\""
    fi
}

# line | expected offer. A closing `_` is a space: it starts the empty word being completed. `=`
# stands alone where bash splits --catalog=DIR.
while IFS='|' read -r line expected; do
    line=${line%"${line##*[! ]}"}
    [[ $line == *_ ]] && line="${line%_} "
    read -ra words <<<"$expected"
    check "$line" "${words[*]-}"
done <<TABLE
quillet_                                        | $(sorted "$help_commands")
quillet u                                       | update
quillet -                                       | $all_options
quillet update -                                | $all_options
quillet list -                                  | $list_options
quillet --a                                     | --allow-older
quillet list --a                                |
quillet --catalog_                              | cat other
quillet --catalog o                             | other
quillet --catalog = o                           | other
quillet update --catalog =_                     | cat other
quillet --simulate s                            | sim.cfg
quillet update --transcript r                   | readme run.tx
quillet --catalog cat_                          | list update
quillet list_                                   |
quillet update_                                 | $dev/sg0 $dev/sg1 $dev/sr0
quillet update $dev/sg                          | $dev/sg0 $dev/sg1
quillet update /dev/sg1_                        | HERE.BIN
quillet --catalog cat update /dev/sg1_          | A.BIN b.cdr c.Bin
quillet update /dev/sg1 --catalog cat_          | A.BIN b.cdr c.Bin
quillet update --catalog = cat /dev/sg1 b       | b.cdr
quillet --catalog ~/cat update /dev/sg1_        | A.BIN b.cdr c.Bin
quillet update /dev/sg1 A.BIN_                  |
quillet --simulate sim.cfg update_              | Drive0 Drive1
quillet update --simulate sim.cfg Drive1_       | HERE.BIN
quillet --simulate missing.cfg update_          |
quillet --simulate hex.cfg update D             | Drive0 Drive1 Drive2
quillet --simulate zero.cfg update Drive0       | Drive0
TABLE

# The word after an option that takes a value (DIR, FILE, ...) is that value and the command may
# follow; after a flag the word is the command itself.
valued=$(sed -n '/^Options:$/,/^$/s/^  \(-[^ ]*\) [A-Z].*/\1/p' <<<"$help")
for option in $help_options; do
    if grep -qxF -- "$option" <<<"$valued"; then
        check "quillet $option x " "list update"
    else
        check "quillet $option x " ""
    fi
done

# Loading it registers the function for the command and prints nothing.
registered=$(bash --norc --noprofile -c 'source "$1" && complete -p quillet' _ "$completion" 2>&1)
[[ $registered == "complete -F _quillet quillet" ]] || fail "registration: $registered"

if ((failures > 0)); then
    exit 1
fi
echo "ok: commands, options as --help names them, folders, files, devices and images"
