#!/usr/bin/env bash
# The real program as an INDI server: started with --indi on a free port,
# INDI's own clients list its device, see a SLEW arrive (Busy, then Idle,
# within 1', not tracking) and abort a Go To; and the option's failures end
# it with status 2 and one line, a port in use among them.
#   indi_program.sh PROGRAM OUTDIR
set -euo pipefail
program=$1 out=$2
mkdir -p "$out"
fail() { echo "indi_program: $*" >&2; cat "$out/velmorant.log" >&2; exit 1; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
"$program" --indi="$port" --longitude=13.4 >"$out/velmorant.log" 2>&1 &
velmorant=$!
trap 'kill $velmorant 2>/dev/null || true; wait 2>/dev/null || true' EXIT
get() { indi_getprop -p "$port" -1 -t 5 "Velmorant.$1"; }
for _ in $(seq 40); do indi_getprop -p "$port" -t 1 'Velmorant.CONNECTION.*' >/dev/null 2>&1 && break; sleep 0.5; done

# The session log for the record: every element, then every state.
indi_getprop -p "$port" -t 3 'Velmorant.*.*' | tee "$out/session.log"
indi_getprop -p "$port" -t 3 'Velmorant.*._STATE' >>"$out/session.log"
(($(grep -c . "$out/session.log") == 43 + 18)) || fail "the device lists $(wc -l <"$out/session.log") lines"

# A SLEW 10 degrees north of where the mount points, half an hour west, from a
# client that has left by the time it arrives: Busy, then Idle on the place
# within 1', not tracking.
ra=$(python3 -c "print(round(($(get EQUATORIAL_EOD_COORD.RA) - 0.5) % 24, 5))")
dec=$(python3 -c "print(round($(get EQUATORIAL_EOD_COORD.DEC) + 10, 5))")
# (One property a call: indi_setprop sends them in the device's order.)
indi_setprop -p "$port" 'Velmorant.ON_COORD_SET.SLEW=On'
indi_setprop -p "$port" "Velmorant.EQUATORIAL_EOD_COORD.RA;DEC=$ra;$dec"
indi_eval -p "$port" -t 5 -w '"Velmorant.EQUATORIAL_EOD_COORD._STATE"==2' || fail "no slew was seen"
sleep 20
[[ $(get EQUATORIAL_EOD_COORD._STATE) == Idle ]] || fail "the slew never ended"
[[ $(get TELESCOPE_TRACK_STATE.TRACK_OFF) == On ]] || fail "a SLEW went on tracking"
python3 -c "import math,sys; a,b,c,d,s=map(float,sys.argv[1:]); a -= s * 1.0027379 / 3600;
sys.exit(0 if math.hypot(((a-c+12)%24-12)*15*math.cos(math.radians(d)), b-d) < 1/60 else 1)" \
  "$(get EQUATORIAL_EOD_COORD.RA)" "$(get EQUATORIAL_EOD_COORD.DEC)" "$ra" "$dec" 20 ||
  fail "the mount is not within 1' of $ra $dec, less the sky's turn since it stopped"
# A long TRACK slew aborted stops short, Idle and not tracking.
indi_setprop -p "$port" 'Velmorant.ON_COORD_SET.TRACK=On'
indi_setprop -p "$port" "Velmorant.EQUATORIAL_EOD_COORD.RA;DEC=$(python3 -c "print(($ra + 3) % 24)");$dec"
sleep 1
indi_setprop -p "$port" 'Velmorant.TELESCOPE_ABORT_MOTION.ABORT=On'
indi_eval -p "$port" -t 5 -w '"Velmorant.EQUATORIAL_EOD_COORD._STATE"==0' || fail "the abort left it Busy"
[[ $(get TELESCOPE_TRACK_STATE.TRACK_OFF) == On ]] || fail "the abort left it tracking"

# The option's failures: one line, status 2.
for option in --indi=notaport --indi=70000 "--indi=127.0.0.1:$port"; do
  set +e
  "$program" "$option" >"$out/refused.log" 2>&1
  status=$?
  set -e
  ((status == 2)) || fail "$option ended with $status"
  (($(wc -l <"$out/refused.log") == 1)) || fail "$option said: $(cat "$out/refused.log")"
done
grep -q "INDI connections cannot be accepted on port $port of 127.0.0.1" "$out/refused.log" ||
  fail "a port in use said: $(cat "$out/refused.log")"
echo "indi_program: passed"
