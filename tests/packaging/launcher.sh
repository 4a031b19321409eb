#!/usr/bin/env bash
# The installed launcher validates, its Exec finds the installed program, and
# that program, started from the prefix, shows its window with the WM_CLASS
# that the launcher's StartupWMClass names (so docks match the two up).
#   launcher.sh PREFIX APP_ID
source "$(dirname "$0")/lib.sh"
prefix=$1 id=$2
desktop=$prefix/share/applications/$id.desktop

[[ -f $desktop ]] || fail "no launcher $desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
[[ $(desktop_key "$desktop" Name) == Velmorant ]] || fail "launcher Name is not Velmorant"
[[ $(desktop_key "$desktop" Terminal) == false ]] || fail "launcher does not say Terminal=false"
for key in 'Name[de]' 'Comment[de]' 'Name[fr]' 'Comment[fr]'; do
  [[ -n $(desktop_key "$desktop" "${key//[/\\[}") ]] || fail "launcher has no $key"
done

exec_line=$(desktop_key "$desktop" Exec)
program=$(PATH=$prefix/bin command -v "${exec_line%% *}") || fail "Exec=$exec_line is not in $prefix/bin"
[[ $program == "$prefix/bin/velmorant" ]] || fail "Exec=$exec_line runs $program"

[[ -n ${DISPLAY:-} ]] || fail "no X display to start the installed program on"
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" \
  --name '^Velmorant Mount Simulation$' 2>/dev/null | head -n 1) || true
[[ -n $win ]] || fail "the installed program showed no main window within 20 s"

# WM_CLASS(STRING) = "instance", "class": StartupWMClass names the class.
class=$(xprop -id "$win" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p')
wanted=$(desktop_key "$desktop" StartupWMClass)
[[ -n $class && $class == "$wanted" ]] ||
  fail "window's WM_CLASS class is '$class', launcher's StartupWMClass is '$wanted'"
echo "launcher valid; installed program shows window $win with class $class"
