#!/usr/bin/env bash
# The two builds of the program, GTK+ 2 and GTK 3, started one after the other
# on one X screen, show the same start-up picture in their views: at most 0.1%
# of the drawing area's pixels differ.
#
# The themes differ (GTK 3's scales are taller), so a view may start at another
# size; each window is then resized until both views have the size of the
# larger one, since the picture depends on the view's size and aspect.
#   startup_pictures.sh PROGRAM_A PROGRAM_B OUT_DIR
source "$(dirname "$0")/../packaging/lib.sh"
source "$(dirname "$0")/pictures.sh"
out=$3
rm -rf "$out"
mkdir -p "$out"
[[ -n ${DISPLAY:-} ]] || fail "no X display to start the programs on"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT

# Saves window $1's picture as $2 once two screenshots in a row agree (the
# frames after a resize have arrived).
shoot() {
  settled_picture "$2" import -window "$1"
}

# Starts program $1 and resizes its window until the view is $2 x $3 pixels
# (0 x 0: as it starts), then saves the view as $4 and leaves its size in
# view_width and view_height. Ends the program.
view_of() {
  local program=$1 width=$2 height=$3 png=$4 pid window w h x y
  "$program" &
  pid=$!
  pids+=("$pid")
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" \
    --name '^Velmorant Mount Simulation$' 2>/dev/null | head -n 1) || true
  [[ -n $window ]] || fail "$program showed no main window within 20 s"
  for _ in 1 2 3; do
    shoot "$window" "$png"
    read -r w h x y <<<"$(view_box "$png")"
    ((width == 0 || (w == width && h == height))) && break
    # Extra width and height all go to the view.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool windowsize --sync "$window" $((WIDTH + width - w)) $((HEIGHT + height - h))
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  ((width == 0 || (w == width && h == height))) || fail "$program's view is ${w}x$h, not ${width}x$height"
  convert "$png" -crop "${w}x$h+$x+$y" +repage "$png"
  view_width=$w view_height=$h
}

view_of "$1" 0 0 "$out/view0.png"
w0=$view_width h0=$view_height
view_of "$2" 0 0 "$out/view1.png"
echo "views as they start: ${w0}x$h0 and ${view_width}x$view_height"
width=$((w0 > view_width ? w0 : view_width)) height=$((h0 > view_height ? h0 : view_height))
view_of "$1" "$width" "$height" "$out/view0.png"
view_of "$2" "$width" "$height" "$out/view1.png"

pixels=$((width * height))
differ=$(compare -metric AE "$out/view0.png" "$out/view1.png" "$out/difference.png" 2>&1 || true)
[[ $differ =~ ^[0-9]+$ ]] || fail "compare failed: $differ"
echo "views of ${width}x$height: $differ of $pixels pixels differ"
((differ * 1000 <= pixels)) || fail "more than 0.1% of the pixels differ; see $out"
