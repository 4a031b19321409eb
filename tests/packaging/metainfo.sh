#!/usr/bin/env bash
# The AppStream metadata validates, without network, together with the
# launcher it names, as a software centre would read the installed tree.
#   metainfo.sh PREFIX APP_ID
source "$(dirname "$0")/lib.sh"
prefix=$1 id=$2
metainfo=$prefix/share/metainfo/$id.metainfo.xml

[[ -f $metainfo ]] || fail "no metainfo $metainfo"
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli rejects $metainfo"
appstreamcli validate-tree --no-net --strict "$prefix" || fail "appstreamcli rejects the installed tree"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $id.desktop"
for lang in de fr; do
  grep -q "<summary xml:lang=\"$lang\">" "$metainfo" || fail "metainfo has no summary in $lang"
done
