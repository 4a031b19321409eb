#!/usr/bin/env bash
# CPack builds the .deb, hardened; its Depends line was computed from the program (so it
# names the libraries of the toolkit it was built on, GTK+ 2 with GtkGLExt or
# GTK 3, and none of the other), it unpacks to the same files as a plain
# install under /usr, and lintian finds neither errors nor warnings.
#   deb.sh BUILD_DIR OUT_DIR EXPECTED_FILES VERSION GTK
source "$(dirname "$0")/lib.sh"
build=$1 out=$2 expected=$3 version=$4 gtk=$5

rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; fail "cpack could not build the package"; }
debs=("$out"/*.deb)
((${#debs[@]} == 1)) && [[ -f ${debs[0]} ]] || fail "cpack made no single .deb in $out"
deb=${debs[0]}
[[ $(basename "$deb") == velmorant_${version}_$(dpkg --print-architecture).deb ]] ||
  fail "package file is named $(basename "$deb")"

field() { dpkg-deb --field "$deb" "$1"; }
[[ $(field Package) == velmorant ]] || fail "package name is $(field Package)"
[[ $(field Version) == "$version" ]] || fail "package version is $(field Version)"
depends=$(field Depends)
# A library package may carry Debian 13's "t64" suffix (64-bit time_t).
toolkit_packages "$gtk"
for lib in libc6 libgl1 libplplot17 plplot-driver-cairo "${wanted[@]}"; do
  [[ ",$depends," =~ [,\ ]$lib(t64)?[\ ,] ]] || fail "Depends lacks $lib: $depends"
done
for lib in "${unwanted[@]}"; do
  [[ ! ",$depends," =~ [,\ ]$lib(t64)?[\ ,] ]] || fail "Depends names $lib: $depends"
done
dpkg-deb --info "$deb"

mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
diff -u <(sed 's#^#usr/#' "$expected") <(files_under "$out/root") ||
  fail "the package holds other files than an install"

TMPDIR=$out lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian reports errors or warnings"
# Hardened as Debian builds packages: hardening-check's verdict on each of
# Debian's hardening features. Its further checks are left out: the C start
# files of Debian 12 carry no control-flow property, so no program linked there
# shows one (not even /usr/bin/ls), and branch protection is an ARM feature.
# Instead the program's own code must have its branch targets marked (endbr64).
program=$out/root/usr/bin/velmorant
verdict=$(hardening-check "$program" || true)
echo "$verdict"
for feature in "Position Independent Executable" "Stack protected" "Fortify Source functions" \
  "Read-only relocations" "Immediate binding"; do
  grep -q "^ $feature: yes" <<<"$verdict" || fail "hardening-check: no $feature"
done
grep -q endbr64 <(objdump -d "$program") || fail "the program's code has no control-flow marks"
info=$(TMPDIR=$out lintian -I "$deb" 2>/dev/null || true)
for tag in hardening-no-fortify-functions hardening-no-bindnow binary-has-unneeded-section; do
  [[ $info != *"$tag"* ]] || fail "lintian -I: $tag"
done
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, Depends: $depends"
