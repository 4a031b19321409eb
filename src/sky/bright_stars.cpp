// The Yale Bright Star Catalogue, built in from data/bright_stars.inc (made
// by data/make_bright_stars.py from the catalogue that Debian's xplanet
// ships), so that the program has it wherever it is installed.
#include "sky/sky.h"

namespace {

constexpr SkyBrightStar kBrightStars[] = {
#include "bright_stars.inc"
};

}  // namespace

const SkyBrightStar *sky_bright_stars() {
  return kBrightStars;
}

int sky_bright_star_count() {
  return int(sizeof kBrightStars / sizeof kBrightStars[0]);
}
