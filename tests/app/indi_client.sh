#!/usr/bin/env bash
# A real LX200 client drives the real program: INDI's own LX200 driver
# (indi_lx200generic under indiserver, in TCP mode) connects to velmorant
# started with --lx200 on a free port, sets the site, sends a Go To to
# coordinates of date near where the mount points, watches it slew there,
# syncs, aborts a long slew, guides, is refused a Go To below the horizon,
# parks, disconnects and connects again.
#   indi_client.sh PROGRAM OUTDIR
set -euo pipefail
program=$1 out=$2
mkdir -p "$out"
fail() { echo "indi_client: $*" >&2; echo "--- driver log:" >&2; cat "$out/indiserver.log" >&2; exit 1; }

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port) iport=$(free_port)
device='Standard LX200'
"$program" --lx200="$port" --longitude=13.4 >"$out/velmorant.log" 2>&1 &
velmorant=$!
indiserver -v -p "$iport" indi_lx200generic >"$out/indiserver.log" 2>&1 &
indi=$!
trap 'kill $velmorant $indi 2>/dev/null || true; wait 2>/dev/null || true' EXIT

set_prop() { indi_setprop -p "$iport" "$device.$1" || fail "could not set $1"; }
get() { indi_getprop -p "$iport" -t 5 "$device.$1" 2>/dev/null | sed 's/^[^=]*=//'; }
# Right ascension (hours) and declination (degrees) the driver reads back.
coords() { echo "$(get EQUATORIAL_EOD_COORD.RA) $(get EQUATORIAL_EOD_COORD.DEC)"; }
# True when "RA DEC" is within $5 degrees (default 1' of arc) of the second pair.
near() { python3 -c "import math,sys; a,b,c,d,e=map(float,sys.argv[1:]);
dra=(a-c+12)%24-12; sys.exit(0 if math.hypot(dra*15*math.cos(math.radians(d)), b-d) < e else 1)" \
  $1 $2 $3 $4 ${5:-0.016667}; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local until=$((SECONDS + $1)); shift
  until "$@"; do ((SECONDS < until)) || return 1; sleep 0.5; done
}
connected() { [[ $(get CONNECTION.CONNECT) == On ]]; }

wait_for 20 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null || fail "velmorant does not listen"
wait_for 20 indi_getprop -p "$iport" -t 1 "$device.CONNECTION_MODE.*" >/dev/null 2>&1 ||
  fail "the driver did not start"
set_prop CONNECTION_MODE.CONNECTION_TCP=On
set_prop "DEVICE_ADDRESS.ADDRESS;PORT=127.0.0.1;$port"
set_prop CONNECTION.CONNECT=On
wait_for 20 connected || fail "the driver did not connect"

set_prop "GEOGRAPHIC_COORD.LAT;LONG;ELEV=52.5;13.4;30"
wait_for 10 bash -c "[[ \$(indi_getprop -p $iport -t 2 '$device.GEOGRAPHIC_COORD.LAT' | sed 's/.*=//') == 52.5 ]]" ||
  fail "the site was not set"
# The latitude moves under a tube that stays put: from the start pose (hour
# angle 0, declination 0 at latitude 45) the declination becomes 7.5 once the
# driver has read it back.
wait_for 20 bash -c "[[ \$(indi_getprop -p $iport -t 2 '$device.EQUATORIAL_EOD_COORD.DEC' | sed 's/.*=//') == 7.5 ]]" ||
  fail "the driver never read the declination the new latitude gives"

# A Go To 15 degrees north of where the mount points, an hour of right
# ascension west: well above the horizon from the start position.
read -r ra dec <<<"$(coords)"
target_ra=$(python3 -c "print(round(($ra - 1) % 24, 4))")
target_dec=$(python3 -c "print(round($dec + 15, 4))")
set_prop ON_COORD_SET.TRACK=On
set_prop "EQUATORIAL_EOD_COORD.RA;DEC=$target_ra;$target_dec"
seen=()
for _ in $(seq 40); do
  sleep 0.5
  now=$(coords)
  [[ ${#seen[@]} -eq 0 || ${seen[-1]} != "$now" ]] && seen+=("$now")
  near $now "$target_ra" "$target_dec" && [[ $(get EQUATORIAL_EOD_COORD._STATE) != Busy ]] && break
done
echo "positions read during the slew: ${#seen[@]}"
((${#seen[@]} >= 3)) || fail "the slew showed ${#seen[@]} positions: ${seen[*]}"
near $(coords) "$target_ra" "$target_dec" || fail "the mount is at $(coords), not $target_ra $target_dec"

# A sync places the mount at the coordinates at once.
sync_ra=$(python3 -c "print(round(($target_ra + 0.2) % 24, 4))")
set_prop ON_COORD_SET.SYNC=On
set_prop "EQUATORIAL_EOD_COORD.RA;DEC=$sync_ra;$target_dec"
wait_for 5 bash -c "$(declare -f get coords near); iport=$iport device='$device'; near \$(coords) $sync_ra $target_dec" ||
  fail "after the sync the mount is at $(coords), not $sync_ra $target_dec"

# A long slew (three hours of right ascension to the east, some 40 degrees),
# aborted: the mount stops well short of the target, and stays there.
far_ra=$(python3 -c "print(round(($sync_ra + 3) % 24, 4))")
set_prop ON_COORD_SET.TRACK=On
set_prop "EQUATORIAL_EOD_COORD.RA;DEC=$far_ra;$target_dec"
sleep 3
set_prop TELESCOPE_ABORT_MOTION.ABORT=On
sleep 2
coords >/dev/null  # the driver's first poll after an abort may still be its last before
stopped=$(coords)
sleep 3
after=$(coords)
echo "stopped at $stopped, then $after; the target was $far_ra $target_dec"
near $stopped $after || fail "after the abort the mount moved from $stopped to $after"
near $after "$sync_ra" "$target_dec" 3 && fail "the slew never started"
near $after "$far_ra" "$target_dec" 3 && fail "the abort did not stop the slew short of the target"

# A one-second guide pulse north, sent as the LX200 pulse command once the
# driver is told to use it, moves the declination by 7.5" (half the sky's
# rate) and nothing else.
set_prop "Use Pulse Cmd.On=On"
before=$(get EQUATORIAL_EOD_COORD.DEC)
set_prop "TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N;TIMED_GUIDE_S=1000;0"
sleep 3
guided=$(get EQUATORIAL_EOD_COORD.DEC)
moved=$(python3 -c "print(round(($guided - $before) * 3600, 2))")
echo "a 1000 ms pulse north moved the declination by $moved arc seconds"
python3 -c "import sys; sys.exit(0 if abs($moved - 7.5) <= 1 else 1)" ||
  fail "a 1000 ms pulse north moved the declination from $before to $guided"

# A Go To to a star that never rises at 52.5 N is refused, and the driver
# stays in step: it reads the place where the mount stands, twice over.
# The Alert lasts until the driver's next poll: with polls 5 s apart for
# this, indi_eval watching from before sees it.
set_prop POLLING_PERIOD.PERIOD_MS=5000
set_prop ON_COORD_SET.TRACK=On
indi_eval -p "$iport" -t 20 -w "\"$device.EQUATORIAL_EOD_COORD._STATE\"==3" &
alert=$!
sleep 2
set_prop "EQUATORIAL_EOD_COORD.RA;DEC=$far_ra;-60"
wait $alert || fail "the driver never showed the refusal as an Alert"
set_prop POLLING_PERIOD.PERIOD_MS=1000
sleep 7
for _ in 1 2; do
  now=$(coords)
  near $now $after 0.1 || fail "after a refused Go To the driver reads $now, not $after"
  sleep 1.5
done

# Park: the driver sends :hP# and polls :D# until the mount says it has
# stopped; the park position is the start pose, at hour angle 0 and
# declination 7.5 at this latitude.
set_prop TELESCOPE_PARK.PARK=On
wait_for 60 bash -c "[[ \$(indi_getprop -p $iport -t 2 '$device.TELESCOPE_PARK._STATE' | sed 's/.*=//') == Ok ]]" ||
  fail "the driver never saw the mount parked"
sleep 2
parked=$(get EQUATORIAL_EOD_COORD.DEC)
python3 -c "import sys; sys.exit(0 if abs($parked - 7.5) < 1 / 60 else 1)" ||
  fail "parked at declination $parked, not at the start pose's 7.5"

set_prop CONNECTION.DISCONNECT=On
wait_for 10 bash -c "[[ \$(indi_getprop -p $iport -t 2 '$device.CONNECTION.CONNECT' | sed 's/.*=//') == Off ]]" ||
  fail "the driver did not disconnect"
set_prop CONNECTION.CONNECT=On
wait_for 20 connected || fail "the driver did not connect again"
near $(coords) $(coords) || fail "no coordinates after reconnecting"
kill -0 $velmorant || fail "velmorant ended"
echo "--- driver log:"
grep -i 'lx200\|driver' "$out/indiserver.log" | tail -n 40
echo "indi_client: connect, site, Go To, sync, abort, guide, refusal, park, reconnect all passed"
