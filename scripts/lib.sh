# Shared by the scripts: the toolkits velmorant builds on and where each build goes.

# The toolkits this system has the development files of, default first: 2
# (GTK+ 2 with GtkGLExt) where it has them, and 3 (GTK 3).
available_toolkits() {
  local found=()
  pkg-config --exists gtk+-2.0 gtkglext-1.0 && found+=(2)
  pkg-config --exists gtk+-3.0 && found+=(3)
  echo "${found[@]}"
}

# The build folder of toolkit $1: ./build for GTK+ 2 and ./build-gtk3 for GTK 3,
# or $VELMORANT_BUILD_DIR and $VELMORANT_BUILD_DIR-gtk3.
build_dir() {
  local base=${VELMORANT_BUILD_DIR:-build}
  if [[ $1 == 3 ]]; then echo "$base-gtk3"; else echo "$base"; fi
}

# The toolkit named by option "--gtk N" in $1 $2, checked; empty without one.
toolkit_option() {
  case "${1:-}" in
    "") ;;
    --gtk)
      [[ ${2:-} == 2 || ${2:-} == 3 ]] || { echo "--gtk takes 2 or 3" >&2; return 2; }
      echo "$2"
      ;;
    *) echo "unknown option $1 (use --gtk 2 or --gtk 3)" >&2; return 2 ;;
  esac
}
