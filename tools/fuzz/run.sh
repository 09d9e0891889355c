#!/usr/bin/env bash
# Builds every libFuzzer target (clang) and runs each from its seeds, then prints what each did.
#
#   run.sh --runs N [BUILD]       N inputs a target, from a fixed seed: the same run every time
#   run.sh --seconds N [BUILD]    N seconds a target, for a longer search by hand
#
# BUILD is the build folder (default build/fuzz). The seeds of tools/fuzz/seeds/<target>/ (*.hex:
# hexadecimal bytes, "#" lines are comments; *.txt and anything else: taken as they are) become
# the target's corpus, BUILD/corpus/<target>, made afresh each run; a target without seeds starts
# from an empty one. Whatever a target finds (crash, leak, timeout, out-of-memory files) is kept in
# BUILD/findings/<target>/, each target's output in BUILD/logs/<target>.log and the files the
# targets write in BUILD/scratch. Exits 1 when any target found something or did not run to its
# end, 2 when the run could not be made.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../.."
root=$(pwd)

die() {
    echo "fuzz: $*" >&2
    exit 2
}
usage() {
    die "usage: run.sh --runs N | --seconds N [BUILD]"
}

mode=""
amount=""
build=$root/build/fuzz
while [ $# -gt 0 ]; do
    case $1 in
        --runs | --seconds)
            [ $# -ge 2 ] || usage
            mode=${1#--}
            amount=$2
            shift 2
            ;;
        -*) usage ;;
        *)
            build=$1
            shift
            ;;
    esac
done
[ -n "$mode" ] || usage
[[ $amount =~ ^[1-9][0-9]*$ ]] || die "--$mode takes a positive whole number, not '$amount'"
mkdir -p "$build"
build=$(cd "$build" && pwd)
seeds=$here/seeds

# xxd turns the text seeds back into bytes; Debian 12 has it in a package of its own.
if compgen -G "$seeds/*/*.hex" >/dev/null; then
    command -v xxd >/dev/null || die "xxd is needed for the .hex seeds (Debian: apt-get install xxd)"
fi

cmake -S "$root" -B "$build" -G Ninja -DQUILLET_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >"$build/configure.log" ||
    die "configuring failed, see $build/configure.log"
# Every fuzz_* target the build defines, whoever added it.
mapfile -t targets < <(cmake --build "$build" --target help |
    sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
[ ${#targets[@]} -gt 0 ] || die "the build defines no fuzz_* target (is clang installed?)"
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"

# UBSan only reports and goes on unless told to stop: a report must count as a finding.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# The targets that write files do it here, so what a stopped one leaves goes with the next run.
export TMPDIR=$build/scratch
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

mkdir -p "$build/logs"
rows=()
found=0
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    findings=$build/findings/$target
    log=$build/logs/$target.log
    rm -rf "$corpus"
    mkdir -p "$corpus" "$findings"
    if [ -d "$seeds/$target" ]; then
        for seed in "$seeds/$target"/*; do
            [ -f "$seed" ] || continue
            name=$(basename "$seed")
            case $seed in
                *.hex) grep -v '^[[:space:]]*#' "$seed" | xxd -r -p >"$corpus/${name%.hex}" ;;
                *) cp "$seed" "$corpus/$name" ;;
            esac
        done
    fi
    before=$(find "$findings" -type f | wc -l)
    options=(-timeout=20 -print_final_stats=1 "-artifact_prefix=$findings/")
    if [ "$mode" = runs ]; then
        options+=("-runs=$amount" -seed=1)
    else
        options+=("-max_total_time=$amount")
    fi
    echo "== $target =="
    start=$(date +%s%N)
    rc=0
    (cd "$build" && "$build/tools/fuzz/$target" "${options[@]}" "$corpus") >"$log" 2>&1 || rc=$?
    tenths=$((($(date +%s%N) - start) / 100000000))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    # A run stopped by a finding prints no statistics: its last status line has the count.
    [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
    new=$(($(find "$findings" -type f | wc -l) - before))
    what="none"
    if [ "$new" -gt 0 ]; then
        what=$(find "$findings" -type f -printf '%T@ %p\n' | sort -n | tail -n "$new" |
            cut -d' ' -f2- | tr '\n' ' ')
        found=1
    elif [ "$rc" != 0 ]; then
        what="exit $rc without a finding file, see $log"
        found=1
    fi
    rows+=("$(printf '%-24s %10s %6d.%d  %s' "$target" "${runs:-?}" $((tenths / 10)) $((tenths % 10)) \
        "$what")")
done

echo
printf '%-24s %10s %8s  %s\n' target runs seconds findings
printf '%s\n' "${rows[@]}"
exit "$found"
