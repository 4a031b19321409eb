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
