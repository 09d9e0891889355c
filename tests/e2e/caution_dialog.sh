#!/usr/bin/env bash
# The caution dialog in each of the six languages, shown by the program's own dialog class and
# resources (dialogshow): its caption and buttons, each of its thirteen painted lines red or black
# as the language's mask says, and every line showing exactly its string table's characters (a
# reference drawn from the table's Unicode text, with the Japanese fonts installed, so that a
# Western text read as Shift-JIS shows); "continue" ends it with 2. In English also "Exit" (1), the
# Esc key and the close box (both 2, "continue").
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

# One wineserver for all the runs rather than one each.
wineserver -p
use_japanese_fonts

line_x=60
line_pitch=15

# The lines the mask paints red (0 for line 103, 12 for line 115) and the lines that hold a
# single blank, per language.
languages=(
    # name    locale        red lines   blank lines
    "english  en_US.UTF-8   1,2,3,4     10,11,12"
    "german   de_DE.UTF-8   1,2,3,4     12"
    "french   fr_FR.UTF-8   1,2,3,4     11,12"
    "italian  it_IT.UTF-8   1,2,3,4     11,12"
    "spanish  es_ES.UTF-8   1,2,3,4     11,12"
    "japanese ja_JP.UTF-8   9,10        1,4,6,8,11"
)

listed() {  # item comma-list
    [[ ",$2," == *",$1,"* ]]
}

for row in "${languages[@]}"; do
    read -r name locale red_lines blank_lines <<<"$row"
    picture=$E2E_TMP/caution_$name.bmp
    driver_in "$locale" start-with "$dialogshow" caution "$folder" window QUILLET 60 \
        caption text 1 text 2 controls shot "$(winpath "$picture")" ||
        fail "$name: the caution dialog did not come up"
    keep_picture "$picture" "caution_$name"
    expect_equal "$name: caption" "QUILLET" "${DRIVER_OUT[0]}"
    expect_equal "$name: button 1" "Exit" "${DRIVER_OUT[1]}"
    expect_equal "$name: button 2" "continue" "${DRIVER_OUT[2]}"
    IFS=$'\t' read -r label client_width _ <<<"${DRIVER_OUT[3]}"
    expect_equal "$name: first line of the control list" "client" "$label"

    # The painted lines, read from the screen: one band of the line pitch for each.
    steps=()
    for ((i = 0; i < 13; i++)); do
        steps+=(ink "$line_x" $((i * line_pitch)) $((client_width - line_x)) "$line_pitch")
    done
    steps+=(painted "$quillet" 103 13 "$line_x" 0 "$line_pitch" 9)
    driver_in "$locale" window QUILLET 10 "${steps[@]}" click 2 wait-exit 15 ||
        fail "$name: the caution dialog could not be read, or did not end on \"continue\""
    for ((i = 0; i < 13; i++)); do
        IFS=$'\t' read -r red dark <<<"${DRIVER_OUT[$i]}"
        line="$name: line $((103 + i)) (red $red, dark $dark)"
        if listed "$i" "$red_lines"; then
            if [ "$red" -eq 0 ] || [ "$dark" -gt 0 ]; then
                fail "$line: expected red text only"
            fi
        else
            [ "$red" -eq 0 ] || fail "$line: expected no red"
            if ! listed "$i" "$blank_lines"; then
                [ "$dark" -gt 0 ] || fail "$line: expected black text"
            fi
        fi
    done
    IFS=$'\t' read -r different ink <<<"${DRIVER_OUT[13]}"
    [ "$ink" -gt 0 ] || fail "$name: the reference lines have no ink"
    expect_equal "$name: pixels where the lines differ from their string table's characters" \
        0 "$different"
    expect_equal "$name: result of \"continue\"" "2" "${DRIVER_OUT[-1]}"
    e2e_log "$name: caption, buttons, 13 lines coloured by the mask, as their table writes them"
done

# How each way of ending the dialog answers.
endings=(
    # steps      result
    "click 1     1"
    "escape      2"
    "close       2"
)
for row in "${endings[@]}"; do
    read -r -a ending <<<"$row"
    expected=${ending[-1]}
    unset 'ending[-1]'
    driver_in en_US.UTF-8 start-with "$dialogshow" caution "$folder" window QUILLET 60 \
        "${ending[@]}" wait-exit 15 || fail "the caution dialog did not end on \"${ending[*]}\""
    expect_equal "result after \"${ending[*]}\"" "$expected" "${DRIVER_OUT[-1]}"
done
e2e_log "passed: six languages; Exit gives 1, Esc and the close box give 2"
