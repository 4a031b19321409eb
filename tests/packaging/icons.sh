#!/usr/bin/env bash
# The launcher's Icon names the installed hicolor icons, and each is a valid
# image of its folder's size: PNG at 48 and 128 px, and an SVG that renders.
#   icons.sh PREFIX APP_ID
source "$(dirname "$0")/lib.sh"
prefix=$1 id=$2
hicolor=$prefix/share/icons/hicolor

icon=$(desktop_key "$prefix/share/applications/$id.desktop" Icon)
[[ $icon == "$id" ]] || fail "launcher's Icon is '$icon', not '$id'"

for size in 48 128; do
  png=$hicolor/${size}x$size/apps/$icon.png
  [[ -f $png ]] || fail "no $png"
  got=$(identify -format '%m %wx%h' "$png") || fail "$png is not an image"
  [[ $got == "PNG ${size}x$size" ]] || fail "$png is '$got', not a ${size}x$size PNG"
done

svg=$hicolor/scalable/apps/$icon.svg
got=$(rsvg-convert --width 256 --height 256 "$svg" | identify -format '%m %wx%h' -) ||
  fail "$svg does not render"
[[ $got == "PNG 256x256" ]] || fail "$svg renders as '$got'"
echo "icon $icon: PNG 48 and 128 px, SVG renders"
