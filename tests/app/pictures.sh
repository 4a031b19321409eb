# Shared by the tests that look at the view in screenshots (sourced after
# ../packaging/lib.sh, whose fail it uses).

# The view's place in a screenshot, as "width height x y": the bounding box of
# its background colour, which nothing else on the screen has.
view_box() {
  convert "$1" -fill black +opaque 'rgb(0,9,29)' -trim -format '%w %h %X %Y' info: | tr -d +
}

# Saves as $1 the picture that command $2... takes, once the view is in it and
# two pictures in a row agree.
settled_picture() {
  local png=$1 previous="" now
  shift
  for _ in $(seq 40); do
    sleep 0.3
    "$@" "$png" || continue
    [[ $(view_box "$png") == "1 1 "* ]] && continue  # no view yet
    now=$(md5sum <"$png")
    [[ $now == "$previous" ]] && return 0
    previous=$now
  done
  fail "no settled picture with the view from $*"
}
