#!/usr/bin/env bash
# Installs the build into a fresh prefix, which must then hold exactly the
# expected files: nothing missing, no test or benchmark leaking in.
#   install_tree.sh BUILD_DIR PREFIX EXPECTED_FILES
source "$(dirname "$0")/lib.sh"
build=$1 prefix=$2 expected=$3

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
diff -u "$expected" <(files_under "$prefix") || fail "the install holds other files than expected"
[[ -x $prefix/bin/velmorant ]] || fail "the installed program is not executable"
echo "install into $prefix holds the $(wc -l <"$expected") expected files"
