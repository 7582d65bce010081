#!/usr/bin/env python3
"""Runs two builds of bspwalk on the same command lines and reports every difference.

A change of structure only must leave exit codes, standard output, standard error and every file a
run writes (screenshots, overviews, exports, lightmap images) as they were. This runs a fixed table
of real-data runs and a seeded table of random command lines (valid and invalid options, real,
missing and broken levels) through OLD and NEW, each in a fresh folder of its own, and compares.

Masked before comparing: the run's folder (each binary has its own), and figures that are times or
memory (`ms`, `MB`, frames/s, JSON keys naming milliseconds or memory). A line of standard error
that differs only by a leading "bspwalk: " (a message box's fallback, "Error: ...") is counted
apart, as the accepted change of that fallback; pass --strict-prefix to count it as a difference.

  tools/compare-builds.py build-old/src/bspwalk build/src/bspwalk --runs 300 --seed 31
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from concurrent.futures import ThreadPoolExecutor

DATA = "/usr/share/games/openarena/baseoa"
LEVELS = ["oa_dm4", "oa_dm1", "maps/oa_dm2.bsp", "oa_ctf2", "kaos2", "cbctf1"]

FLAGS = ["--info", "--json", "--verbose", "--shaders", "--full", "--no-hud", "--list", "--entities",
         "--brush-models", "--vertex-light", "--external-lightmaps", "--windowed", "--frame-times",
         "--watch", "--fast", "--fast=off", "--version", "--help", "--bogus", "--benchmark"]
VALUED = {
    "--size": ["64x48", "96x72", "0x0", "abc", "99999x2", "32x32"],
    "--camera": ["200,500,700,0,180", "0,0,0,90,270", "1,2,3", "x,y,z,0,0", "=-64,128,40,90,270"],
    "--screenshot": ["s.png", "s.bmp", "sub/none/s.png"],
    "--frames": ["1", "2", "0", "-1", "x"],
    "--at": ["0,0,0", "100,-200,30", "1,2", "nan,0,0", "1e9,0,0", "=-64,-900,40"],
    "--mode": ["textures", "lightmaps", "clusters", "wireframe", "entities", "textures,wireframe", "bogus"],
    "--freeze": ["0,0,0", "1,2"],
    "--fov": ["80", "1", "179", "0", "180", "x"],
    "--overview": ["o.png", "o.jpg"],
    "--surfaces": ["polygons", "all", "none"],
    "--tess": ["1", "8", "64", "65", "0"],
    "--time": ["0", "1.5", "1e7", "-1"],
    "--data": [DATA, "/nonexistent", DATA + "/pak1-maps.pk3"],
    "--spawn": ["1", "3", "0", "99"],
    "--class": ["item_*", "info_player_*"],
    "--goto": ["1", "item_armor_combat", "info_player_deathmatch:2", "nothing", "0"],
    "--export": ["e.glb", "e.gltf", "e.txt"],
    "--export-scale": ["0.0254", "1", "0", "-1"],
    "--base": [".", "/nonexistent"],
}
MODES = [["--info"], ["--info", "--json"], ["--at", "0,0,0"], ["--at", "10,-900,40", "--json"], ["--entities"],
         ["--screenshot", "s.png"], ["--overview", "o.png"], ["--export", "e.glb"], ["--list"],
         ["--benchmark"], ["--info", "--verbose"]]
RANDOM_LEVELS = ["oa_dm4", "oa_dm1", "maps/oa_dm2.bsp", "nonexistent", "", "", "empty.bsp", "cut.bsp", "notes.txt"]


def fixed_table():
    """Real-data runs whose outputs are compared byte for byte."""
    runs = []
    for level in LEVELS:
        d = ["--data", DATA, level]
        runs += [d + ["--info", "--json"], d + ["--info"], d + ["--entities", "--json"],
                 d + ["--at", "0,0,0", "--at", "=-64,-900,40", "--at", "384,-960,64", "--json"],
                 d + ["--screenshot", "s.png", "--size", "320x240"],
                 d + ["--screenshot", "s.png", "--size", "320x240", "--full", "--time", "2"],
                 d + ["--screenshot", "s.png", "--size", "200x150", "--spawn", "2", "--mode", "lightmaps,wireframe"],
                 d + ["--overview", "o.png", "--size", "320x240"],
                 d + ["--export", "e.glb"]]
    runs += [["--data", DATA, "--list"], ["--screenshot", "s.png", "--size", "64x48"], ["--info"],
             ["--at", "0,0,0", "--json"]]
    return runs


def random_table(count, seed):
    rng = random.Random(seed)
    runs = []
    for _ in range(count):
        # Most runs start from one mode that works, so that the options around it get exercised.
        args = list(rng.choice(MODES)) if rng.random() < 0.6 else []
        for _ in range(rng.choice([0, 1, 1, 2, 2, 3, 4])):
            if rng.random() < 0.4:
                args.append(rng.choice(FLAGS))
            else:
                option = rng.choice(sorted(VALUED))
                value = rng.choice(VALUED[option])
                args += [option + value] if value.startswith("=") else [option, value]
        # Runs that draw stay small, so that hundreds of them cost minutes.
        if any(a in args for a in ("--screenshot", "--overview", "--benchmark")):
            args += ["--size", "64x48", "--frames", "1"]
        if rng.random() < 0.8 and "--data" not in args:
            args = ["--data", DATA] + args
        level = rng.choice(RANDOM_LEVELS)
        if level:
            args.append(level)
        runs.append(args)
    return runs


def pk3_level(name, cache={}):
    if name not in cache:
        with zipfile.ZipFile(os.path.join(DATA, "pak1-maps.pk3")) as pk3:
            cache[name] = pk3.read("maps/" + name + ".bsp")
    return cache[name]


def prepare(folder):
    """What a random run may name beside the real levels: an empty level, a cut one, a text file."""
    open(os.path.join(folder, "empty.bsp"), "wb").close()
    data = pk3_level("oa_dm4")
    with open(os.path.join(folder, "cut.bsp"), "wb") as f:
        f.write(data[:20000])
    with open(os.path.join(folder, "notes.txt"), "w") as f:
        f.write("not a level\n")
    # The design's fixed level path, for the runs without LEVEL (they then miss font.tga, whose
    # message box falls back to standard error).
    os.makedirs(os.path.join(folder, "maps"))
    with open(os.path.join(folder, "maps", "testmap.BSP"), "wb") as f:
        f.write(pk3_level("oa_dm1"))


TIMING = re.compile(r"(\d+(?:\.\d+)?)(?=\s*(?:ms|MB|MiB|frames/s))")
JSON_TIMING = re.compile(r'("[A-Za-z_]*(?:Ms|Milliseconds|Memory|Seconds|Fps|PerSecond|Resident|_ms|_mb)"\s*:\s*)'
                         r'(\[[^\]]*\]|\{[^}]*\}|[-0-9.eE+]+)')


def mask(text, folder):
    text = text.replace(folder, "<DIR>")
    lines = []
    for line in text.splitlines():
        if any(k in line for k in (" ms", "frames/s", " MB", "resident", "frame ms", "load ")):
            line = re.sub(r"\d+(?:\.\d+)?", "#", line)
        line = JSON_TIMING.sub(lambda m: m.group(1) + "#", line)
        lines.append(line)
    return lines


def run(binary, args, timeout):
    folder = tempfile.mkdtemp(prefix="bspwalk-cmp-")
    prepare(folder)
    os.makedirs(os.path.join(folder, "lgmp"), exist_ok=True)
    env = {k: v for k, v in os.environ.items() if k not in ("BSPWALK_DATA", "DISPLAY", "WAYLAND_DISPLAY")}
    try:
        p = subprocess.run([binary] + args, cwd=folder, env=env, capture_output=True, timeout=timeout)
        code, out, err = p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        code, out, err = "timeout", "", ""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    shutil.rmtree(folder, ignore_errors=True)
    return code, mask(out, folder), mask(err, folder), files


def compare(old, new, args, timeout, strict_prefix):
    a, b = run(old, args, timeout), run(new, args, timeout)
    problems, prefixed = [], []
    if a[0] != b[0]:
        problems.append(f"exit {a[0]} -> {b[0]}")
    if a[1] != b[1]:
        problems.append("stdout differs")
    if a[2] != b[2]:
        if len(a[2]) == len(b[2]) and not strict_prefix and all(
                x == y or (y == "bspwalk: " + x and not x.startswith("bspwalk: ")) for x, y in zip(a[2], b[2])):
            prefixed = [y for x, y in zip(a[2], b[2]) if x != y]
        else:
            problems.append("stderr differs:\n    old: " + "\n    old: ".join(a[2]) + "\n    new: " + "\n    new: ".join(b[2]))
    if a[3].keys() != b[3].keys():
        problems.append(f"files {sorted(a[3])} -> {sorted(b[3])}")
    else:
        problems += [f"{name} differs" for name in sorted(a[3]) if a[3][name] != b[3][name]]
    written = sorted(n for n in a[3] if n not in ("empty.bsp", "cut.bsp", "notes.txt", "maps/testmap.BSP"))
    return problems, prefixed, written, a[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--runs", type=int, default=300, help="random command lines (default 300)")
    parser.add_argument("--seed", type=int, default=31)
    parser.add_argument("--no-fixed", action="store_true", help="skip the real-data table")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("--strict-prefix", action="store_true")
    options = parser.parse_args()
    table = ([] if options.no_fixed else fixed_table()) + random_table(options.runs, options.seed)
    with ThreadPoolExecutor(options.jobs) as pool:
        results = list(pool.map(lambda args: compare(os.path.abspath(options.old), os.path.abspath(options.new),
                                                    args, options.timeout, options.strict_prefix), table))
    differing = 0
    prefixed_runs = 0
    files_compared = 0
    codes = {}
    for args, (problems, prefixed, written, code) in zip(table, results):
        codes[code] = codes.get(code, 0) + 1
        files_compared += len(written)
        if prefixed:
            prefixed_runs += 1
            print("prefix only:", " ".join(args), "|", prefixed[0])
        if problems:
            differing += 1
            print("DIFFERS:", " ".join(args))
            for p in problems:
                print("  ", p)
    print(f"{len(table)} command lines ({0 if options.no_fixed else len(fixed_table())} fixed real-data, "
          f"{options.runs} random, seed {options.seed}); exit codes {dict(sorted(codes.items(), key=str))}; "
          f"{files_compared} written files compared; {prefixed_runs} with only the 'bspwalk: ' prefix; "
          f"{differing} differing")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
