#!/usr/bin/env bash
# The chart from the command line, with no display: each picture is read by
# its own tool (file, rsvg-convert, pdftoppm) and the CSV has its columns;
# every kind of bad input says so in one line, ends with status 2 and leaves
# no file.
#   chart_cli.sh PROGRAM OUTDIR
set -euo pipefail
program=$1 out=$2
rm -rf "$out" && mkdir -p "$out"
fail() { echo "chart_cli: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C "$program" "$@"; }

night=(--chart=vega --date=2026-06-21 --latitude=45)
for ext in png svg pdf csv; do
  said=$(run "${night[@]}" --output="$out/vega.$ext" 2>&1) || fail ".$ext: status $?: $said"
  [[ -z $said ]] || fail ".$ext: said “$said” on success"
done
file "$out/vega.png" | grep -q 'PNG image data, 1000 x 720' || fail "not a PNG: $(file "$out/vega.png")"
rsvg-convert "$out/vega.svg" -o "$out/svg.png" || fail "rsvg-convert cannot read the SVG"
file "$out/svg.png" | grep -q 'PNG image data' || fail "rsvg-convert drew no PNG"
grep -q 'viewBox="0 0 1000 720"' "$out/vega.svg" || fail "the SVG is not 1000 x 720 points"
pdftoppm -r 20 -png "$out/vega.pdf" "$out/pdf" || fail "pdftoppm cannot read the PDF"
[[ -s $out/pdf-1.png ]] || fail "pdftoppm drew no page"
header='utc,altitude_deg,azimuth_deg,hour_angle_deg,a1_deg,a2_deg,a3_deg,field_rotation_deg,a1_rate_deg_s,a2_rate_deg_s,a3_rate_deg_s,altaz_azimuth_rate_deg_s,altaz_altitude_rate_deg_s,altaz_field_rate_deg_s,sun_altitude_deg'
[[ $(head -1 "$out/vega.csv") == "$header" ]] || fail "CSV header: $(head -1 "$out/vega.csv")"
# Dusk to dawn at -12 degrees that night at 45 degrees north is 5.5 hours.
rows=$(($(wc -l <"$out/vega.csv") - 1))
((rows > 320 && rows < 340)) || fail "$rows rows for a 5.5-hour night"
awk -F, 'NR > 1 && NF != 15 { exit 1 }' "$out/vega.csv" || fail "a row without 15 columns"

# Bad input: the options, the line that must be said, and no file.
o=--output=$out/bad.png
bad=(
  "--chart=Nosuchstar $o|--chart takes a star"
  "--chart=18,5,38 $o|--chart takes a star"
  "--chart=vega --date=2026-02-30 $o|--date takes a date"
  "--chart=vega --latitude=91 $o|latitude must be from -90 to 90"
  "--chart=vega --latitude=north $o|Cannot parse double value"
  "--chart=vega --latitude=nan $o|latitude must be from -90 to 90"
  "--chart=vega --field-rotation=nan $o|field rotation must be a number"
  "--chart=vega --axis-speed=0 $o|--axis-speed takes"
  "--chart=vega --out=x|Unknown option"
  "--chart=vega|needs --output"
  "--date=2026-06-21 $o|go with --chart"
  "--chart=vega --output=$out/none/x.png|No such file or directory"
  "--chart=vega --output=$out/x.txt|extension is none of"
)
for row in "${bad[@]}"; do
  args=${row%%|*} want=${row#*|}
  before=$(ls "$out")
  status=0
  # shellcheck disable=SC2086
  said=$(run $args 2>&1 >/dev/null) || status=$?
  ((status == 2)) || fail "$args: status $status"
  [[ $said == *"$want"* ]] || fail "$args: said “$said”, not “$want”"
  (($(printf '%s\n' "$said" | wc -l) == 1)) || fail "$args: more than one line: $said"
  [[ $(ls "$out") == "$before" ]] || fail "$args: left a file: $(ls "$out")"
done
# A write cut short (a file size limit) keeps the old file whole and says so;
# through a symbolic link the link stays and its file keeps its mode.
cp "$out/vega.png" "$out/old.png"
before=$(ls "$out")
status=0
said=$(trap '' XFSZ; ulimit -f 20; run "${night[@]}" --output="$out/vega.png" 2>&1) || status=$?
((status == 2)) || fail "a write cut short: status $status"
[[ $said == *"File too large"* ]] || fail "a write cut short said “$said”"
cmp -s "$out/vega.png" "$out/old.png" || fail "a write cut short changed the old file"
[[ $(ls "$out") == "$before" ]] || fail "a write cut short left a file: $(ls "$out")"
chmod 600 "$out/vega.csv"
ln -s vega.csv "$out/link.csv"
row=$(sed -n 2p "$out/vega.csv")
run "${night[@]}" --latitude=30 --output="$out/link.csv" || fail "cannot write through a link"
[[ -L $out/link.csv && $(stat -c %a "$out/vega.csv") == 600 ]] || fail "the link or the mode went"
[[ $(sed -n 2p "$out/vega.csv") != "$row" ]] || fail "the link's file was not rewritten"

# --latitude also sets the Latitude slider of the window: an LX200 client
# reads the site's latitude back.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$program" --latitude=-33.5 --lx200="$port" >"$out/window.log" 2>&1 &
window=$!
trap 'kill $window 2>/dev/null || true' EXIT
latitude=$(python3 - "$port" <<'PY'
import socket, sys, time
for _ in range(100):
    try:
        s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
        break
    except OSError:
        time.sleep(0.1)
s.sendall(b":Gt#")
print(s.recv(64).decode())
PY
)
[[ $latitude == "-33*30#" ]] || fail "--latitude=-33.5 gave the site latitude “$latitude”"
echo "chart_cli: passed"
