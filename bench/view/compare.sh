#!/usr/bin/env bash
# CPU per presented frame of the two builds' views, measured in one run on one
# X server (an Xvfb of 2560 x 1600, started here when there is no display):
# the program's and the X server's, for a scale change and for a tracking
# step, with the view at 640 x 480 and at 1920 x 1080; and GTK 3's total
# against GTK+ 2's.
#   bench/view/compare.sh [GTK2_BUILD [GTK3_BUILD]]   (default build, build-gtk3)
set -euo pipefail
cd "$(dirname "$0")/../.."
gtk2=${1:-build} gtk3=${2:-build-gtk3}
if [[ -z ${VELMORANT_BENCH_X_PID:-} ]]; then
  exec xvfb-run -a -s "-screen 0 2560x1600x24" env VELMORANT_BENCH_X_PID=pending "$0" "$gtk2" "$gtk3"
fi
# The X server this run draws on: the newest Xvfb (the one xvfb-run started).
export VELMORANT_BENCH_X_PID=$(pgrep -n Xvfb || true)
lines=$(for build in "$gtk2" "$gtk3"; do
  "$build/bench/view/view_bench" --benchmark_filter=NONE | grep '^frame-cpu' || true
done)
echo "$lines"
echo
echo "| build | view | step | program ms/frame | X server ms/frame | total | GTK 3 / GTK+ 2 |"
echo "|---|---|---|---|---|---|---|"
awk '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
       size = v["view"]; sub(/x[0-9]+$/, "", size)  # GTK 3 views may be taller: key by width
       key = size " " v["step"]; total = v["program_ms"] + (v["xserver_ms"] < 0 ? 0 : v["xserver_ms"])
       if (v["gtk"] == 2) base[key] = total
       ratio = (v["gtk"] == 3 && base[key] > 0) ? sprintf("%.2f", total / base[key]) : ""
       printf "| GTK %s | %s | %s | %.3f | %.3f | %.3f | %s |\n", v["gtk"], v["view"], v["step"],
         v["program_ms"], v["xserver_ms"], total, ratio }' <<<"$lines"
