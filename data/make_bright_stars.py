#!/usr/bin/env python3
"""Makes data/bright_stars.inc, the star table the view draws, from the Yale
Bright Star Catalogue (5th revised edition, public domain) as Debian's xplanet
package ships it: /usr/share/xplanet/stars/BSC, one star a line with its J2000
declination (degrees), right ascension (hours), visual magnitude, "name", BSC,
HD and SAO numbers.

    python3 data/make_bright_stars.py [/usr/share/xplanet/stars/BSC] > data/bright_stars.inc
"""
import shlex
import sys

source = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/xplanet/stars/BSC"
rows = []
with open(source, encoding="latin-1") as catalogue:
    for line in catalogue:
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        fields = shlex.split(line)
        dec, ra, mag, bsc = float(fields[0]), float(fields[1]), float(fields[2]), int(fields[4])
        if not (0 <= ra < 24 and -90 <= dec <= 90):
            sys.exit(f"make_bright_stars: a place out of range: {line.strip()}")
        rows.append((bsc, ra, dec, mag))
rows.sort()
print("// The Yale Bright Star Catalogue, 5th revised edition (public domain), as")
print("// Debian's xplanet ships it: {BSC number, right ascension of J2000 (hours),")
print("// declination of J2000 (degrees), visual magnitude}, by BSC number.")
print(f"// Made by data/make_bright_stars.py: {len(rows)} stars.")
for bsc, ra, dec, mag in rows:
    print(f"{{{bsc},{ra:.4f},{dec:.4f},{mag:.2f}}},")
