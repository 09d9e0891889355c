#!/usr/bin/env bash
# The deliberate-fault run: puts each fault of faults.txt (beside this script) into the product's
# source in turn, rebuilds the native quillet_tests, runs it and counts the tests that fail, then
# puts the source back as it was. A fault that no test notices is a hole in the tests; a fault
# whose text is no longer in its file was left behind by a change of the code and must be moved.
#
#   run.sh [N...]     runs every fault, or only those numbered
#   run.sh --list     lists the faults
#
# The build folder is QUILLET_FAULT_BUILD (default build/faults), kept between runs; each run's
# test output lands in its logs/ folder. Refuses to start while a file it would change has
# uncommitted changes. Exits 0 when every fault run was caught, 1 when one was missed, did not
# apply or did not build, 2 when the run could not be made.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../.."
root=$(pwd)
list=$here/faults.txt
build=${QUILLET_FAULT_BUILD:-$root/build/faults}

die() {
    echo "faults: $*" >&2
    exit 2
}

# The list, one entry per fault: its name, file, and the lines it replaces and puts in.
names=()
files=()
olds=()
news=()
read_list() {
    local line number=0 part="" where expected
    while IFS= read -r line || [ -n "$line" ]; do
        number=$((number + 1))
        where="$list, line $number"
        case $part in
            old)
                if [ "$line" = "===" ]; then
                    part=new
                else
                    olds[-1]+=$line$'\n'
                fi
                continue
                ;;
            new)
                if [ "$line" = ">>>" ]; then
                    part=""
                else
                    news[-1]+=$line$'\n'
                fi
                continue
                ;;
        esac
        case $line in
            "" | "#"*) ;;
            "fault "*)
                read -r _ n name <<<"$line"
                expected=$((${#names[@]} + 1))
                [ "$n" = "$expected" ] || die "$where: expected fault $expected"
                [ -n "$name" ] || die "$where: the fault has no name"
                names+=("$name")
                files+=("")
                olds+=("")
                news+=("")
                ;;
            "in "*)
                [ ${#names[@]} -gt 0 ] && [ -z "${files[-1]}" ] || die "$where: \"in\" out of place"
                files[-1]=${line#in }
                case ${files[-1]} in
                    src/*) ;;
                    *) die "$where: faults go into files under src/ only" ;;
                esac
                ;;
            "<<<")
                [ ${#names[@]} -gt 0 ] && [ -n "${files[-1]}" ] && [ -z "${olds[-1]}" ] ||
                    die "$where: \"<<<\" out of place"
                part=old
                ;;
            *) die "$where: not part of a fault: $line" ;;
        esac
    done <"$list"
    [ -z "$part" ] || die "$list: the last fault is not closed with >>>"
    local i
    for i in "${!names[@]}"; do
        [ -n "${olds[i]}" ] || die "$list: fault $((i + 1)) has no text to replace"
        [ "${olds[i]}" != "${news[i]}" ] || die "$list: fault $((i + 1)) changes nothing"
    done
}

read_list

if [ "${1:-}" = --list ]; then
    for i in "${!names[@]}"; do
        printf '%3d  %-52s %s\n' $((i + 1)) "${names[i]}" "${files[i]}"
    done
    exit 0
fi

chosen=()
if [ $# -eq 0 ]; then
    chosen=("${!names[@]}")
fi
for n in "$@"; do
    case $n in
        *[!0-9]* | "") die "usage: $0 [--list | N...]" ;;
    esac
    [ "$n" -ge 1 ] && [ "$n" -le ${#names[@]} ] || die "there is no fault $n (1..${#names[@]})"
    chosen+=($((n - 1)))
done

# Only committed text is changed, so that what is put back is what the repository holds.
touched=()
for i in "${chosen[@]}"; do
    touched+=("${files[i]}")
done
for file in "${touched[@]}"; do
    [ -f "$file" ] || die "fault file $file does not exist"
    git ls-files --error-unmatch -- "$file" >/dev/null 2>&1 || die "$file is not in the repository"
done
if [ -n "$(git status --porcelain -- "${touched[@]}")" ]; then
    git status --short -- "${touched[@]}" >&2
    die "these files have uncommitted changes; commit or set them aside first"
fi

# The file being changed and its original, put back on every way out, an interrupt included.
saved=$(mktemp -d)
current=""
restore() {
    if [ -n "$current" ]; then
        # Written over, not moved back: the new time stamp makes the next build compile it again.
        cat "$saved/original" >"$current"
        cmp -s "$saved/original" "$current" || echo "faults: could not restore $current" >&2
        current=""
    fi
}
finish() {
    local rc=$?
    restore
    rm -rf "$saved"
    exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

jobs=$(nproc 2>/dev/null || echo 2)
logs=$build/logs
mkdir -p "$logs"
rm -f "$logs"/*.log

build_tests() {
    cmake --build "$build" --target quillet_tests -j "$jobs" >"$1" 2>&1
}

# Runs the tests; prints the number that failed, or "crashed" or "hung".
run_tests() {
    local log=$1 rc=0
    (cd "$build/tests" && timeout 300 ./quillet_tests) >"$log" 2>&1 || rc=$?
    if [ $rc -eq 124 ]; then
        echo hung
    elif ! grep -q '^\[==========\] .* ran\.' "$log" || [ $rc -gt 1 ]; then
        echo crashed
    else
        # GoogleTest's summary: "[  FAILED  ] 3 tests, listed below:".
        sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:$/\1/p' "$log" |
            grep . || echo 0
    fi
}

# How often `text` holds `part`.
occurrences() {
    local rest=$1 count=0
    while [[ $rest == *"$2"* ]]; do
        rest=${rest#*"$2"}
        count=$((count + 1))
    done
    echo "$count"
}

# Reads a file whole, its last line breaks included.
read_file() {
    local text
    text=$(
        cat "$1"
        printf x
    )
    printf '%s' "${text%x}"
}

start=$SECONDS
echo "== building and running the tests on the unchanged source in $build =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >"$logs/configure.log" 2>&1 ||
    die "cmake failed; see $logs/configure.log"
build_tests "$logs/build-0.log" || die "the unchanged source does not build; see $logs/build-0.log"
failed=$(run_tests "$logs/tests-0.log")
[ "$failed" = 0 ] || die "the unchanged source fails tests ($failed); see $logs/tests-0.log"

printf '%3s  %-52s %s\n' "#" "fault" "failing tests"
caught=0
problems=0
for i in "${chosen[@]}"; do
    n=$((i + 1))
    file=${files[i]}
    # Whole lines only: the texts and the file are compared with a line break in front.
    text=$'\n'$(read_file "$file")
    old=$'\n'${olds[i]}
    new=$'\n'${news[i]}
    found=$(occurrences "$text" "$old")
    if [ "$found" != 1 ]; then
        printf '%3d  %-52s %s\n' $n "${names[i]}" "NOT APPLIED (found $found times in $file)"
        problems=$((problems + 1))
        continue
    fi
    cp "$file" "$saved/original"
    current=$file
    changed="${text%%"$old"*}$new${text#*"$old"}"
    printf '%s' "${changed:1}" >"$file"
    if build_tests "$logs/build-$n.log"; then
        result=$(run_tests "$logs/tests-$n.log")
    else
        result="BUILD FAILED (see $logs/build-$n.log)"
    fi
    restore
    case $result in
        0) problems=$((problems + 1)) result="0  MISSED" ;;
        [1-9]* | crashed | hung) caught=$((caught + 1)) ;;
        *) problems=$((problems + 1)) ;;
    esac
    printf '%3d  %-52s %s\n' $n "${names[i]}" "$result"
done

if [ -n "$(git status --porcelain -- "${touched[@]}")" ]; then
    echo "faults: the source was not restored:" >&2
    git status --short -- "${touched[@]}" >&2
    exit 2
fi
echo "== ${caught} of ${#chosen[@]} faults caught in $((SECONDS - start)) s =="
[ $problems -eq 0 ]
