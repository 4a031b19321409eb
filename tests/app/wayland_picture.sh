#!/usr/bin/env bash
# The program on a Wayland compositor shows what it shows on X11: started on
# Weston, the view in the compositor's own screenshot (weston-screenshooter,
# what a user sees) has the size of the view the same program shows on the X
# server, shows the mount, and has the same colours there within a small
# tolerance. GDK may log one critical on a compositor without a seat, and the
# program nothing else.
# With a probe module (menu_bar_probe) as well, it checks tracking instead: for
# 20 s of tracking the sky, each of five screenshots 4 s apart shows the view
# changed from the one before, neither stalled nor stale.
#   wayland_picture.sh PROGRAM OUT_DIR [PROBE]
# Needs WAYLAND_DISPLAY (a Weston started with --debug) and, for the X11
# picture, VELMORANT_X11_DISPLAY: scripts/test-wayland sets both.
source "$(dirname "$0")/../packaging/lib.sh"
source "$(dirname "$0")/pictures.sh"
program=$1 out=$2 probe=${3:-}
rm -rf "$out"
mkdir -p "$out"
[[ -n ${WAYLAND_DISPLAY:-} ]] || fail "no Wayland compositor (WAYLAND_DISPLAY) to start the program on"
[[ -n $probe || -n ${VELMORANT_X11_DISPLAY:-} ]] ||
  fail "no X display (VELMORANT_X11_DISPLAY) for the X11 picture"
pid=""
trap '[[ -z $pid ]] || kill "$pid" 2>/dev/null || true' EXIT

shoot_x11() {
  local window
  window=$(DISPLAY=$VELMORANT_X11_DISPLAY xdotool search --onlyvisible --pid "$pid" \
    --name '^Velmorant Mount Simulation$' 2>/dev/null | head -n 1) || return 1
  DISPLAY=$VELMORANT_X11_DISPLAY import -window "$window" "$1"
}
shoot_wayland() {
  local dir
  dir=$(mktemp -d "$out/shot.XXXX")
  # It waits for a repaint, which an unchanged screen may never make.
  (cd "$dir" && timeout 5 weston-screenshooter >/dev/null 2>&1) || return 1
  mv "$dir"/wayland-screenshot-*.png "$1" && rmdir "$dir"
}

# The view of the program started with environment $1 ($2 names the shot),
# cropped from the settled screenshot into $out/$2.png.
view_on() {
  env $1 "$program" 2>"$out/$2.log" &
  pid=$!
  settled_picture "$out/$2-screen.png" "shoot_$2"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  read -r w h x y <<<"$(view_box "$out/$2-screen.png")"
  convert "$out/$2-screen.png" -crop "${w}x$h+$x+$y" +repage "$out/$2.png"
  echo "$2: view ${w}x$h"
}

if [[ -n $probe ]]; then
  env -u DISPLAY GDK_BACKEND=wayland GTK_MODULES="$probe" VELMORANT_PROBE=track "$program" &
  pid=$!
  for _ in $(seq 40); do  # until the view is on the screen
    sleep 0.3
    shoot_wayland "$out/track0.png" && [[ $(view_box "$out/track0.png") != "1 1 "* ]] && break
  done
  read -r w h x y <<<"$(view_box "$out/track0.png")"
  ((w > 1)) || fail "the view never reached the screen"
  for shot in 1 2 3 4 5; do
    sleep 4
    shoot_wayland "$out/track$shot.png" || fail "no screenshot after $((shot * 4)) s of tracking"
    changed=$(compare -metric AE -extract "${w}x$h+$x+$y" "$out/track$((shot - 1)).png" \
      "$out/track$shot.png" null: 2>&1 || true)
    echo "after $((shot * 4)) s of tracking: $changed pixels of the view changed"
    [[ $changed =~ ^[0-9]+$ ]] && ((changed > 100)) ||
      fail "the view on the screen is stale after $((shot * 4)) s of tracking ($changed)"
  done
  kill -0 "$pid" || fail "the program ended while tracking"
  exit 0
fi

view_on "GDK_BACKEND=x11 DISPLAY=$VELMORANT_X11_DISPLAY" x11
view_on "-u DISPLAY GDK_BACKEND=wayland" wayland

# The theme's text is laid out a little differently on the two backends, so
# the slider column, and the view beside it, may differ by a few pixels: each
# side within 3%.
read -r w h <<<"$(identify -format '%w %h' "$out/x11.png")"
read -r ww wh <<<"$(identify -format '%w %h' "$out/wayland.png")"
((100 * (ww > w ? ww - w : w - ww) <= 3 * w && 100 * (wh > h ? wh - h : h - wh) <= 3 * h)) ||
  fail "the view is ${ww}x$wh on Wayland and ${w}x$h on X11"
# The mount covers a good part of the view: at least a tenth of it is not background.
mount=$(convert "$out/wayland.png" -fill white +opaque 'rgb(0,9,29)' -fill black \
  -opaque 'rgb(0,9,29)' -format '%[fx:int(mean*w*h+0.5)]' info:)
((mount * 10 >= ww * wh)) || fail "the mount is missing from the view on Wayland"
# Colours: each channel's mean within 1% of full scale; and, brought to one
# size, no more than 4% of the pixels (the edges) differ by more than 10%.
means() { convert "$1" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:; }
read -r xr xg xb <<<"$(means "$out/x11.png")"
read -r wr wg wb <<<"$(means "$out/wayland.png")"
echo "mean colours: X11 $xr $xg $xb, Wayland $wr $wg $wb"
awk -v a="$xr $xg $xb" -v b="$wr $wg $wb" 'BEGIN { split(a, x); split(b, y)
  for (i = 1; i <= 3; i++) if (x[i] - y[i] > 0.01 || y[i] - x[i] > 0.01) exit 1 }' ||
  fail "the view's colours on Wayland are not X11's"
convert "$out/wayland.png" -resize "${w}x$h!" "$out/wayland-resized.png"
differ=$(compare -metric AE -fuzz 10% "$out/x11.png" "$out/wayland-resized.png" \
  "$out/difference.png" 2>&1 || true)
[[ $differ =~ ^[0-9]+$ ]] || fail "compare failed: $differ"
echo "$differ of $((w * h)) pixels differ by more than 10%; $mount show the mount"
((differ * 25 <= w * h)) || fail "more than 4% of the view differs from X11's; see $out"

seat="gdk_seat_get_keyboard: assertion 'GDK_IS_SEAT (seat)' failed"
others=$(grep -v -e '^$' -e "$seat" "$out/wayland.log" || true)
[[ -z $others ]] || fail "the program logged on Wayland: $others"
others=$(grep -v -e '^$' "$out/x11.log" || true)
[[ -z $others ]] || fail "the program logged on X11: $others"
