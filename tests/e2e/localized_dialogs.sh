#!/usr/bin/env bash
# The dialogs in each of the six languages: the real program's main dialog after its caution
# (its labels in the language, caption and buttons in English), and through the program's own
# dialog classes and resources (dialogshow) the start confirmation, the old-version question and
# the completion notice, whose three painted lines are red, start at the second line and show
# exactly their string table's characters; each ends with the result its caller expects. The
# about box is the same in every language.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

# One wineserver for all the runs rather than one each.
wineserver -p
use_japanese_fonts

main_caption="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"
# A catalogue and images beside the program, so its start shows no warning.
put_demo_folder

declare -A locale=(
    [english]=en_US.UTF-8 [german]=de_DE.UTF-8 [french]=fr_FR.UTF-8
    [italian]=it_IT.UTF-8 [spanish]=es_ES.UTF-8 [japanese]=ja_JP.UTF-8
)
# The main dialog's labels 1000, 1002 and 1003, separated by "|".
declare -A labels=(
    [english]="Target Drive[ENGLISH]|Current Firmware Version|Source Firmware Version"
    [german]="Ziel-Laufwerk|Aktuelle Firmware Version|Neue-Firmware Version"
    [french]="Graveur cible|Firmware actuel|Nouveau firmware"
    [italian]="Drive di destinazione|Versione Firmware attuale|Versione Firmware aggiornamento"
    [spanish]="Unidad Destino|Versión Actual del Firmware|Versión Origen del Firmware"
    [japanese]="アップデートするドライブ|現在のファームウェアのバージョン|新しいファームウェアのバージョン"
)
# The texts of static 1009 (start confirmation) and 1011 (old version), line breaks as \n. The
# curly quotes are the texts' own.
# shellcheck disable=SC1112
declare -A confirm_text=(
    [english]='Press [OK] to start installation.\n\nDo not turn off computer while the LEDs blinking.'
    [german]='Drücken Sie [OK], um die Installation zu beginnen\n\nSchalten Sie den Computer nicht aus, solange die LEDs blinken.'
    [french]='Sélectionner [OK] pour commencer l’installation.\n\nN’eteignez pas l’ordinateur tant que la procédure de mise jour n’est pas terminée.'
    [italian]='Premere [OK] per cominciare l’installazione.\n\nNon spegnere il computer sino al termine dell’installazione.'
    [spanish]='Presione [OK] para comenzar la instalación.\n\nNo apague el ordenador hasta completar la instalación.'
    [japanese]='[OK]ボタンをクリックするとアップデートを実行します。\n\nアップデートが終了するまで、PC及びドライブの電源は切らないで下さい。'
)
declare -A old_version_text=(
    [english]='The version is old.\n\nDo you still want to continue?'
    [german]='Die Firmware - Version ist veraltet.\n\nMöchten Sie fortfahren ?'
    [french]='La version du firmware est antérieur à la version actuelle.\n\nVoulez vous continuer?'
    [italian]='La versione è vecchia.\n\nSi vuole ancora continuare?'
    [spanish]='La versión es antigua.\n\n¿Desea continuar ?'
    [japanese]='古いバージョンのファームウェアです。\n\n続けますか？'
)

for name in english german french italian spanish japanese; do
    lc=${locale[$name]}

    picture=$E2E_TMP/main_$name.bmp
    driver_in "$lc" start "$quillet" "$folder" window QUILLET 60 click 2 \
        window "$main_caption" 60 input 60 caption text 2 \
        text 1008 text 1000 text 1002 text 1003 shot "$(winpath "$picture")" click 2 \
        wait-exit 15 || fail "$name: the main dialog did not come up or did not close"
    keep_picture "$picture" "main_$name"
    expect_equal "$name: main dialog caption" "$main_caption" "${DRIVER_OUT[0]}"
    expect_equal "$name: button 2" "Close" "${DRIVER_OUT[1]}"
    expect_equal "$name: button 1008" "Update" "${DRIVER_OUT[2]}"
    expect_equal "$name: labels" "${labels[$name]}" \
        "${DRIVER_OUT[3]}|${DRIVER_OUT[4]}|${DRIVER_OUT[5]}"

    picture=$E2E_TMP/start_confirm_$name.bmp
    driver_in "$lc" start-with "$dialogshow" start-confirm "$folder" dialog 1009,1010 30 \
        text 1009 text 1 text 2 shot "$(winpath "$picture")" click 1 wait-exit 15 ||
        fail "$name: the start confirmation did not come up or did not end on OK"
    keep_picture "$picture" "start_confirm_$name"
    expect_equal "$name: start confirmation text" "${confirm_text[$name]}" "${DRIVER_OUT[0]}"
    expect_equal "$name: start confirmation buttons" "OK|Cancel" \
        "${DRIVER_OUT[1]}|${DRIVER_OUT[2]}"
    expect_equal "$name: result of OK" "1" "${DRIVER_OUT[-1]}"

    picture=$E2E_TMP/old_version_$name.bmp
    driver_in "$lc" start-with "$dialogshow" old-version "$folder" dialog 1011 30 \
        text 1011 text 1 text 2 shot "$(winpath "$picture")" click 2 wait-exit 15 ||
        fail "$name: the old-version question did not come up or did not end on Cancel"
    keep_picture "$picture" "old_version_$name"
    expect_equal "$name: old-version text" "${old_version_text[$name]}" "${DRIVER_OUT[0]}"
    expect_equal "$name: old-version buttons" "Continue|Cancel" \
        "${DRIVER_OUT[1]}|${DRIVER_OUT[2]}"
    expect_equal "$name: result of Cancel" "2" "${DRIVER_OUT[-1]}"

    # The completion notice paints its lines at x 10 and y 15, 30, 45: one band of 15 pixels
    # above them stays empty, the three below hold red text only.
    picture=$E2E_TMP/completion_$name.bmp
    driver_in "$lc" start-with "$dialogshow" completion "$folder" dialog 1 30 text 1 controls \
        shot "$(winpath "$picture")" || fail "$name: the completion notice did not come up"
    keep_picture "$picture" "completion_$name"
    expect_equal "$name: completion button" "OK" "${DRIVER_OUT[0]}"
    IFS=$'\t' read -r _ client_width _ <<<"${DRIVER_OUT[1]}"
    completion_line_steps "$client_width"
    driver_in "$lc" dialog 1 10 "${COMPLETION_STEPS[@]}" click 1 wait-exit 15 ||
        fail "$name: the completion notice could not be read or did not end on OK"
    check_completion_lines "$name" 0
    expect_equal "$name: result of the completion notice" "1" "${DRIVER_OUT[-1]}"
    e2e_log "$name: main dialog, start confirmation, old-version question, completion notice"
done

# The about box: one template for every language.
about=()
for name in english japanese; do
    picture=$E2E_TMP/about_$name.bmp
    driver_in "${locale[$name]}" start-with "$dialogshow" about "$folder" window Quillet 30 \
        controls shot "$(winpath "$picture")" click 1 wait-exit 15 ||
        fail "$name: the about box did not come up or did not end on OK"
    keep_picture "$picture" "about_$name"
    expect_equal "$name: result of the about box" "1" "${DRIVER_OUT[-1]}"
    # An icon's static holds the icon's resource number as its text, which the ANSI dialog
    # functions give back in the user's code page: compare where the icon is, not that text.
    about+=("$(printf '%s\n' "${DRIVER_OUT[@]:0:${#DRIVER_OUT[@]}-1}" |
        awk -F'\t' -v OFS='\t' '$2 == "Static" && $7 ~ /[0-9A-Fa-f]*3$/ { $8 = "(icon)" } 1')")
done
[[ ${about[0]} == *$'\t'"Quillet Version 3.0"* ]] ||
    fail "the about box does not show \"Quillet Version 3.0\": ${about[0]}"
expect_equal "the about box in Japanese as in English" "${about[0]}" "${about[1]}"
e2e_log "passed: six languages, about box"
