#!/usr/bin/env python3
"""Writes tests/host/data/tokyo_to_wgs84.txt: positions on the Tokyo datum over a two-degree
grid of 20-46 N, 122-154 E (edges included) and where PROJ's cs2cs puts them on WGS 84, for the
native test of the program's own datum shift. Needs cs2cs (Debian package proj-bin) only when run; the table
is checked in. Run again only to change the grid."""
import os
import subprocess
import sys

TRANSFORM = [
    "+proj=longlat", "+ellps=bessel", "+towgs84=-146.414,507.337,680.507",
    "+to", "+proj=longlat", "+datum=WGS84",
]
LATITUDES = range(20, 47, 2)
LONGITUDES = range(122, 155, 2)


def main():
    out_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "host", "data",
                            "tokyo_to_wgs84.txt")
    grid = [(lat, lon) for lat in LATITUDES for lon in LONGITUDES]
    # cs2cs reads and writes longitude first; height 0 in, the height out is not used.
    request = "".join(f"{lon} {lat} 0\n" for lat, lon in grid)
    answer = subprocess.run(["cs2cs", "-f", "%.9f"] + TRANSFORM, input=request, capture_output=True,
                            text=True, check=True).stdout.splitlines()
    if len(answer) != len(grid):
        sys.exit(f"cs2cs answered {len(answer)} lines for {len(grid)} points")
    version = subprocess.run(["cs2cs"], capture_output=True, text=True).stderr.splitlines()[0]
    with open(out_path, "w", newline="\n") as out:
        out.write(f"# cs2cs {' '.join(TRANSFORM)} ({version})\n")
        out.write("# Tokyo latitude, longitude -> WGS 84 latitude, longitude, degrees\n")
        for (lat, lon), line in zip(grid, answer):
            wgs_lon, wgs_lat = line.split()[:2]
            out.write(f"{lat} {lon} {wgs_lat} {wgs_lon}\n")


if __name__ == "__main__":
    main()
