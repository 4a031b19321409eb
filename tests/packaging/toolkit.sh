#!/usr/bin/env bash
# The installed program loads the libraries of the toolkit it was built on and
# none of the other: GTK+ 2 and GtkGLExt, or GTK 3 alone.
#   toolkit.sh PREFIX GTK
source "$(dirname "$0")/lib.sh"
prefix=$1 gtk=$2
program=$prefix/bin/velmorant
libs=$(ldd "$program") || fail "ldd cannot read $program"
case $gtk in
  2) wanted=(libgtk-x11-2.0 libgtkglext-x11-1.0) unwanted=(libgtk-3) ;;
  3) wanted=(libgtk-3) unwanted=(libgtk-x11-2.0 libgtkglext libgdkglext) ;;
  *) fail "no toolkit $gtk" ;;
esac
for lib in "${wanted[@]}"; do
  grep -q "^\s*$lib\.so" <<<"$libs" || fail "$program does not load $lib:"$'\n'"$libs"
done
for lib in "${unwanted[@]}"; do
  ! grep -q "^\s*$lib" <<<"$libs" || fail "$program loads $lib:"$'\n'"$libs"
done
echo "$program loads GTK $gtk's libraries only"
