# Shared by the packaging checks, which are bash scripts run by CTest.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The files (not folders) under a tree, relative to it, one a line, sorted.
files_under() {
  (cd "$1" && find . ! -type d | sed 's#^\./##' | LC_ALL=C sort)
}

# Value of a key in a desktop entry file.
desktop_key() {
  sed -n "s/^$2=//p" "$1"
}

# The toolkit's run-time packages for a build on GTK $1 (2 or 3), in the array
# wanted, and those of the other toolkit, in the array unwanted.
toolkit_packages() {
  local gtk2=(libgtk2.0-0 libgtkglext1) gtk3=(libgtk-3-0)
  case $1 in
    2) wanted=("${gtk2[@]}") unwanted=("${gtk3[@]}") ;;
    3) wanted=("${gtk3[@]}") unwanted=("${gtk2[@]}") ;;
    *) fail "no toolkit $1" ;;
  esac
}
