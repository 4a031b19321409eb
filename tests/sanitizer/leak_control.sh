#!/usr/bin/env bash
# The sanitizer lane's positive control: runs $1, a program that leaks on
# purpose in five ways, under the options and suppressions in the environment,
# and fails unless LeakSanitizer reports each of the five leaks.
set -uo pipefail
report=$("$1" 2>&1)
status=$?
fail() {
  printf '%s\n' "$report" >&2
  echo "leak control: $*: the leak checker would miss the same leak in the program" >&2
  exit 1
}
((status != 0)) || fail "it leaked and still ended with status 0"
grep -q "ERROR: LeakSanitizer: detected memory leaks" <<<"$report" || fail "no leak report"
for leak in leak_control_malloc leak_control_new leak_control_g_malloc leak_control_g_object \
  leak_control_in_signal; do
  grep -qE " in (\(anonymous namespace\)::)?$leak " <<<"$report" ||
    fail "the leak from $leak went unreported"
done
echo "leak control: each of its five leaks reported"
