#!/usr/bin/env bash
# quillet in each language of po/: the plan and a whole update, a refusal, an interruption and
# every --help, each run in that language. No English sentence of quillet's (po/quillet.pot) or
# of the Windows program's English resources is left in them, the resources' texts come in the
# language's own words, the answers to a question follow the language, and what machines read
# (exit statuses, JSON, the transcript) is the same as in English.
#
# usage: languages.sh QUILLET WORK_DIR
set -euo pipefail

quillet=$(realpath "$1")
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
"$root/scripts/demo/make-folder.sh" "$work" >/dev/null
cd "$work"
sed -i 's/^\[ASPI\]$/[ASPI]\nVirtualTime=1/' WNASPI32.CFG
sed "s/^\[Drive1\]$/[Drive1]\nInterrupt=15 1/" WNASPI32.CFG >INT.CFG

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The English words a translated run must not hold: every run of three or more words between
# the placeholders of quillet's sentences, and the resources' English texts quillet shows.
msgids() {
    msgcat --no-wrap "$root/po/quillet.pot" | sed -n 's/^msgid\(_plural\)\? "\(.\+\)"$/\2/p' |
        sed 's/\\n/\n/g; s/\\"/"/g' | sed 's/{[0-9]}/\n/g'
}
english_resource() {  # the string-table or dialog line that follows the key, in the English block
    sed -n '/^LANGUAGE LANG_ENGLISH/,/^LANGUAGE /p' "$root/src/res/Quillet.rc" |
        grep -A1 "$1" | grep -o '"[^"]*"' | head -n 1 | tr -d '"' | sed 's/\\n/\n/g'
}
{
    msgids
    for key in IDS_COMPLETION_1 IDS_COMPLETION_2 IDS_COMPLETION_3 IDS_EJECT_DISC 'LTEXT "The version'; do
        english_resource "$key"
    done
} | sed 's/^[^A-Za-z]*//; s/[^A-Za-z]*$//' | awk 'NF >= 3' | sort -u >english.txt
[ "$(wc -l <english.txt)" -gt 80 ] || fail "only $(wc -l <english.txt) English phrases found"

# The resource blocks of a language (Japanese has two).
blocks() {  # LANG_X
    awk -v lang="$1" '/^LANGUAGE / { on = ($2 == lang ",") } on' "$root/src/res/Quillet.rc"
}
# The first string of KEY in the resource blocks of the language.
resource() {  # LANG_X key
    blocks "$1" | grep "$2" | grep -o '"[^"]*"' | head -n 1 | tr -d '"'
}

# Each run: its output and exit status, in the language and in English.
run() {  # language name arguments...
    local rc=0 language=$1 name=$2
    shift 2
    LANGUAGE=$language LANG=C.UTF-8 LC_ALL= LC_MESSAGES= "$quillet" "$@" </dev/null \
        >"$language-$name.txt" 2>&1 || rc=$?
    echo "$rc" >"$language-$name.rc"
}
runs() {  # language
    rm -f Drive*.LOG Drive*.IMG
    run "$1" plan --simulate WNASPI32.CFG --transcript "$1-plan.tx" --yes update Drive0
    run "$1" refusal --simulate WNASPI32.CFG update Drive1 CDRW8432.BIN
    run "$1" older --simulate WNASPI32.CFG --yes update Drive1 CDRW8432.BIN
    run "$1" dry --simulate WNASPI32.CFG --dry-run update Drive1
    run "$1" interruption --simulate INT.CFG --yes --allow-older update Drive1 CDRW8432.BIN
    run "$1" catalogue --simulate WNASPI32.CFG --catalog "$root" list
    run "$1" help --help
    run "$1" list-help list --help
    run "$1" update-help update --help
    LANGUAGE=$1 LANG=C.UTF-8 "$quillet" --simulate WNASPI32.CFG --json --dry-run update Drive1 \
        </dev/null >"$1.json" 2>/dev/null || true
}
runs en

for po in "$root"/po/*.po; do
    lang=$(basename "$po" .po)
    runs "$lang"
    for name in plan refusal older dry interruption catalogue help list-help update-help; do
        [ "$(cat "$lang-$name.rc")" = "$(cat "en-$name.rc")" ] ||
            fail "$lang $name: exit $(cat "$lang-$name.rc"), in English $(cat "en-$name.rc")"
        left=$(grep -oFf english.txt "$lang-$name.txt" | sort -u | head -n 5) || true
        [ -z "$left" ] || fail "$lang $name: English left: $(tr '\n' '|' <<<"$left")"
        cmp -s "$lang-$name.txt" "en-$name.txt" && fail "$lang $name: the same as in English"
    done
    cmp -s "$lang-plan.tx" "en-plan.tx" || fail "$lang: the transcript differs from English"
    cmp -s "$lang.json" en.json || fail "$lang: the JSON differs from English"
    case $lang in
        de) rc=LANG_GERMAN ;; fr) rc=LANG_FRENCH ;; it) rc=LANG_ITALIAN ;;
        es) rc=LANG_SPANISH ;; ja) rc=LANG_JAPANESE ;; *) rc= ;;
    esac
    [ -n "$rc" ] || { fail "$lang: no resources of that language"; continue; }
    grep -qF "$(resource "$rc" IDS_COMPLETION_1)" "$lang-plan.txt" ||
        fail "$lang plan: not the completion text of its resources ($(resource "$rc" IDS_COMPLETION_1))"
    # At a terminal, the old-version question is the resources' own.
    if command -v script >/dev/null; then
        printf 'n\n' | LANGUAGE=$lang LANG=C.UTF-8 script -qec \
            "'$quillet' --simulate WNASPI32.CFG update Drive1 CDRW8432.BIN" /dev/null \
            >"$lang-asked.txt" 2>&1 || true
        question=$(blocks "$rc" |
            grep -B1 IDC_OLD_VERSION_TEXT | grep -o 'LTEXT *"[^"\\]*' | head -n 1 | sed 's/^LTEXT *"//') || true
        [ -n "$question" ] && grep -qF "$question" "$lang-asked.txt" ||
            fail "$lang: not the old-version question of its resources (\"$question\")"
    fi
done

# The answers follow the language: each language's yes (and y) starts the update at a terminal,
# and its no does not.
answer() {  # language answer expected-exit
    local rc=0
    rm -f Drive*.LOG Drive*.IMG
    printf '%s\n' "$2" | LANGUAGE=$1 LANG=C.UTF-8 script -qec \
        "'$quillet' --simulate WNASPI32.CFG update Drive0" /dev/null >"answer-$1.txt" 2>&1 || rc=$?
    [ "$rc" = "$3" ] || fail "$1: the answer \"$2\" ended with $rc, expected $3"
}
if command -v script >/dev/null; then
    for row in de:j fr:o it:s es:s ja:はい; do
        lang=${row%%:*}
        [ -f "$root/po/$lang.po" ] || continue
        answer "$lang" "${row#*:}" 0
        answer "$lang" y 0
        answer "$lang" n 1
    done
    answer en y 0
    answer en j 1
fi

if ((failures > 0)); then
    exit 1
fi
echo "ok: $(ls "$root"/po/*.po | wc -l) languages: plan, refusal, interruption and help translated, machine output unchanged"
