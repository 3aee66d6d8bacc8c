#!/usr/bin/env python3
"""Writes the datum tables of the native tests from PROJ's cs2cs: tests/host/data/tokyo_to_wgs84.txt,
positions on the Tokyo datum over a two-degree grid of 20-46 N, 122-154 E (edges included) and
where cs2cs puts them on WGS 84; and tests/host/data/wgs84_to_tokyo.txt, the inverse (cs2cs -I)
over the same grid taken as WGS 84, plus points far from Japan (southern and western
hemispheres, near the poles, beside the antimeridian). Needs cs2cs (Debian package proj-bin) only
when run; the tables are checked in. Run again only to change the grid."""
import os
import subprocess
import sys

TRANSFORM = [
    "+proj=longlat", "+ellps=bessel", "+towgs84=-146.414,507.337,680.507",
    "+to", "+proj=longlat", "+datum=WGS84",
]
LATITUDES = range(20, 47, 2)
LONGITUDES = range(122, 155, 2)
# Where the program's own shift is easiest to get wrong: signs, poles, the wrap of longitude.
FAR_POINTS = [
    (-33.8688, 151.2093), (-34.6037, -58.3816), (40.7128, -74.006), (51.4779, -0.0015),
    (0.0, 0.0), (-0.5, -0.5), (89.9, 10.0), (-89.9, -120.0), (89.999, 135.0),
    (10.0, 179.9999), (-10.0, -179.9999), (52.0, 179.5), (-45.0, -179.5), (64.8, -147.7),
]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "host", "data")


def cs2cs(points, inverse):
    # cs2cs reads and writes longitude first; height 0 in, the height out is not used.
    request = "".join(f"{lon} {lat} 0\n" for lat, lon in points)
    args = ["cs2cs", "-f", "%.9f"] + (["-I"] if inverse else []) + TRANSFORM
    answer = subprocess.run(args, input=request, capture_output=True, text=True, check=True).stdout.splitlines()
    if len(answer) != len(points):
        sys.exit(f"cs2cs answered {len(answer)} lines for {len(points)} points")
    return [(line.split()[1], line.split()[0]) for line in answer]


def write(name, header, points, results):
    version = subprocess.run(["cs2cs"], capture_output=True, text=True).stderr.splitlines()[0]
    with open(os.path.join(DATA, name), "w", newline="\n") as out:
        out.write(f"# cs2cs {' '.join(TRANSFORM)} ({version})\n")
        out.write(header)
        for (lat, lon), (out_lat, out_lon) in zip(points, results):
            out.write(f"{lat} {lon} {out_lat} {out_lon}\n")


def main():
    grid = [(lat, lon) for lat in LATITUDES for lon in LONGITUDES]
    write("tokyo_to_wgs84.txt", "# Tokyo latitude, longitude -> WGS 84 latitude, longitude, degrees\n", grid,
          cs2cs(grid, False))
    points = grid + FAR_POINTS
    write("wgs84_to_tokyo.txt", "# -I: WGS 84 latitude, longitude -> Tokyo latitude, longitude, degrees\n", points,
          cs2cs(points, True))


if __name__ == "__main__":
    main()
