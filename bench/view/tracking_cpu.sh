#!/usr/bin/env bash
# CPU that tracking at the sky's own rate costs, without and with View, Stars:
# each build's program in its default window is sent to a star over LX200
# (which ends in x1 tracking),
# then for SECONDS of tracking the program's and the X server's CPU seconds
# per second of wall time are read from /proc. Each build runs on an Xvfb of
# its own, started here.
#   bench/view/tracking_cpu.sh [GTK2_BUILD [GTK3_BUILD [SECONDS]]]
#   (default build, build-gtk3, 20)
set -euo pipefail
cd "$(dirname "$0")/../.."
gtk2=${1:-build} gtk3=${2:-build-gtk3} seconds=${3:-20}
port=$((20000 + RANDOM % 20000))

# User plus system CPU seconds of process $1.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

# Sends $1 to the LX200 server and prints the reply (read for half a second).
ask() {
  exec 3<>"/dev/tcp/127.0.0.1/$port" || return 1
  printf '%s' "$1" >&3
  timeout 0.5 cat <&3 || true
  exec 3<&-
} 2>/dev/null

run() {
  local build=$1 name=$2 stars=${3:-} display=:$((50 + RANDOM % 400))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  local xpid=$!
  sleep 1
  # With stars, the tests' probe module turns on View, Stars once the window is up.
  local probe=()
  [[ -n $stars ]] && probe=(GTK_MODULES="$PWD/$build/tests/app/libmenu_bar_probe.so" VELMORANT_PROBE=stars)
  env "${probe[@]}" DISPLAY=$display GDK_BACKEND=x11 "$build/src/app/velmorant" --lx200="$port" >/dev/null 2>/tmp/vdebug.log &
  local pid=$!
  local lst=""
  for _ in $(seq 50); do
    lst=$(ask ':U#:GS#' | tr -d '#') && [[ $lst =~ ^[0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] && break
    sleep 0.2
  done
  # On the meridian, 65 degrees up at the start-up latitude of 45.
  [[ $(ask ":Sr$lst#:Sd+20*00:00#:MS#") == 110 ]] || { echo "$name: the Go To was refused" >&2; }
  for _ in $(seq 100); do [[ $(ask ':D#') == '#' ]] && break; sleep 0.2; done
  sleep 1
  local p0 x0 p1 x1
  p0=$(cpu_of "$pid") x0=$(cpu_of "$xpid")
  sleep "$seconds"
  p1=$(cpu_of "$pid") x1=$(cpu_of "$xpid")
  kill "$pid" "$xpid"
  wait "$pid" "$xpid" 2>/dev/null || true
  awk -v n="$name" -v p="$(echo "$p1 - $p0" | bc -l)" -v x="$(echo "$x1 - $x0" | bc -l)" -v s="$seconds" \
    'BEGIN { printf "| %s | %.4f | %.4f | %.4f |\n", n, p / s, x / s, (p + x) / s }'
}

echo "x1 tracking after a Go To, $seconds s, default window: CPU seconds per second"
echo "| build | program | X server | together |"
echo "|---|---|---|---|"
run "$gtk2" "GTK+ 2"
run "$gtk2" "GTK+ 2, View, Stars" stars
[[ -x $gtk3/src/app/velmorant ]] && run "$gtk3" "GTK 3" && run "$gtk3" "GTK 3, View, Stars" stars
