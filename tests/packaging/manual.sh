#!/usr/bin/env bash
# The installed manual page renders with man, with groff's warnings on and
# none given, and is the page of velmorant(1).
#   manual.sh PREFIX
source "$(dirname "$0")/lib.sh"
prefix=$1
page=$prefix/share/man/man1/velmorant.1.gz

[[ -f $page ]] || fail "no manual page $page"
errors=$prefix.man-errors
text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$errors") || fail "man cannot render $page"
if [[ -s $errors ]]; then
  cat "$errors" >&2
  fail "man warns about $page"
fi
grep -q '^ *velmorant - ' <<<"$text" || fail "the page has no NAME line for velmorant"
[[ $(head -n 1 <<<"$text") == velmorant\(1\)* ]] || fail "the page is not in section 1"
echo "velmorant(1) renders without warnings ($(wc -l <<<"$text") lines)"
