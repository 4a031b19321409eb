#!/usr/bin/env bash
# The catalogues are correct and complete (no message untranslated or fuzzy,
# none of the template's missing), and the installed program titles its window
# in German under de_DE.UTF-8 and as written under C.UTF-8; the installed
# catalogue, which the title shows it reads, gives the slider labels in German.
#   translations.sh PREFIX LOCPATH PO_DIR POT
source "$(dirname "$0")/lib.sh"
prefix=$1 locpath=$2 po=$3 pot=$4

for lang in $(cat "$po/LINGUAS"); do
  stats=$(msgfmt --check --statistics --output-file=/dev/null "$po/$lang.po" 2>&1) ||
    fail "msgfmt rejects $lang.po: $stats"
  [[ $stats =~ ^[0-9]+\ translated\ messages\.$ ]] || fail "$lang.po is not complete: $stats"
  msgcmp "$po/$lang.po" "$pot" || fail "$lang.po lacks messages of the template $pot"
  echo "$lang.po: $stats"
done

[[ -n ${DISPLAY:-} ]] || fail "no X display to start the installed program on"
# The title of the main window that the installed program shows under locale $1.
title_under() {
  LANG=$1 LC_ALL='' LANGUAGE='' LOCPATH=$locpath "$prefix/bin/velmorant" &
  local pid=$! window
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name . 2>/dev/null |
    head -n 1) || true
  [[ -n $window ]] && xdotool getwindowname "$window"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
title=$(title_under de_DE.UTF-8)
[[ $title == Velmorant-Montierungssimulation ]] || fail "under de_DE.UTF-8 the title is '$title'"
title=$(title_under C.UTF-8)
[[ $title == "Velmorant Mount Simulation" ]] || fail "under C.UTF-8 the title is '$title'"
labels=("Altitude:Höhe" "Azimuth:Azimut" "Hour Angle:Stundenwinkel" "Declination:Deklination"
  "Field Rotation:Bildfeldrotation" "Latitude:Breite" "Camera Alt:Kamera-Höhe"
  "Camera Az:Kamera-Azimut")
for pair in "${labels[@]}"; do
  english=${pair%%:*} german=${pair#*:}
  shown=$(LANG=de_DE.UTF-8 LC_ALL='' LANGUAGE='' LOCPATH=$locpath \
    TEXTDOMAINDIR=$prefix/share/locale gettext velmorant "$english")
  [[ $shown == "$german" ]] || fail "the installed catalogue gives '$shown' for '$english'"
done
echo "the installed program speaks German under de_DE.UTF-8 and English under C.UTF-8"
