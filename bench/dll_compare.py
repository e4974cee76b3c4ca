"""bench/compare --dll: the 32-bit DLL timed under Wine beside the native build, by ormi-time.

Builds ormi-time natively and, with MinGW-w64, as a Windows program against the DLL (in
build-wine-bench; also in build-wine-bench-avx2 with the SIMD level capped at AVX2 when the build
has ORMI_SIMD_CAP), then times each case in every configuration one after the other: native with
transparent huge pages, native on 4 KB pages (ORMI_HUGE_PAGES=0, the pages a Windows host gets), and
each DLL under Wine. Every run times BM_Memcpy before its case, so each ratio divides by a memcpy of
the same moment, which keeps them comparable on a machine whose load changes. Prints each case's
median and ratio, the DLL's ratio over the native 4 KB one against its goal, and the 4 KB-page goals.
"""
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# DLL ratio / native 4 KB ratio, for every case.
DLL_GOAL = 1.2
# Ratio to memcpy on 4 KB pages, for the native build and the DLL alike.
PAGE_GOALS = {"BM_ImgRotate/30": 6, "BM_ImgBlockRotate/30": 5}


def pinned(command, args):
    if args.cpu is not None and shutil.which("taskset"):
        return ["taskset", "-c", str(args.cpu)] + command
    return command


def time_args(args, case):
    return ["--size", str(args.size), "--repetitions", str(args.repetitions), "--case", case]


def parse(out):
    medians = {}
    for line in out.decode().splitlines():
        name, _, ms = line.strip().partition("\t")
        if ms:
            medians[name] = float(ms)
    return medians


def native_run(args, huge_pages):
    env = dict(os.environ)
    if not huge_pages:
        env["ORMI_HUGE_PAGES"] = "0"
    binary = os.path.join(args.build, "bench", "ormi-time")
    return lambda case: parse(subprocess.run(pinned([binary] + time_args(args, case), args), check=True,
                                             stdout=subprocess.PIPE, env=env).stdout)


def has_simd_cap():
    for path in ["CMakeLists.txt", "cmake/OrmiFlags.cmake", "src/CMakeLists.txt"]:
        full = os.path.join(ROOT, path)
        if os.path.exists(full) and "ORMI_SIMD_CAP" in open(full).read():
            return True
    return False


def build_windows(directory, cap):
    """Cross-builds the DLL and ormi-time.exe; the path of the program beside its DLL."""
    if not os.path.exists(os.path.join(directory, "CMakeCache.txt")):
        configure = ["cmake", "-S", ROOT, "-B", directory, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(ROOT, "cmake", "toolchain-i686-w64-mingw32.cmake"),
                     "-DORMI_WINE_BENCH=ON"] + (["-DORMI_SIMD_CAP=" + cap] if cap else [])
        subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    jobs = os.environ.get("ORMI_BUILD_JOBS", "1")
    subprocess.run(["cmake", "--build", directory, "-j", jobs, "--target", "ormiEffects", "ormi-time"], check=True)
    exe = os.path.join(directory, "bench", "ormi-time.exe")
    shutil.copy(os.path.join(directory, "src", "ormiEffects.dll"), os.path.dirname(exe))
    return exe


def wine_run(args, exe):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env["WINEPREFIX"] = os.environ.get("WINEPREFIX", os.path.join(os.path.dirname(os.path.dirname(exe)), "wineprefix"))
    windows = os.path.join(env["WINEPREFIX"], "drive_c", "windows")
    if not os.path.isdir(windows):
        subprocess.run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The gamma correction reads its table from the Windows directory; the native build makes it.
    table = os.path.join(args.build, "share", "ormi", "gammalut.tbl")
    if os.path.exists(table) and os.path.isdir(windows):
        shutil.copy(table, windows)
    return lambda case: parse(subprocess.run(pinned(["wine", exe] + time_args(args, case), args), check=True,
                                             stdout=subprocess.PIPE, env=env).stdout)


def verdict(value, goal):
    return "ok" if value <= goal else "OVER"


def main(args):
    if not shutil.which("i686-w64-mingw32-g++") or not shutil.which("wine"):
        sys.exit("bench/compare --dll needs MinGW-w64 (i686-w64-mingw32-g++) and 32-bit Wine (tests/wine/setup)")
    subprocess.run(["cmake", "--build", args.build, "-j1", "--target", "ormi-time"], check=True)
    builds = [("DLL", build_windows(os.path.join(ROOT, "build-wine-bench"), ""))]
    if has_simd_cap():
        builds.append(("DLL avx2", build_windows(os.path.join(ROOT, "build-wine-bench-avx2"), "avx2")))

    listing = subprocess.run([os.path.join(args.build, "bench", "ormi-time"), "--list"], check=True,
                             stdout=subprocess.PIPE).stdout.decode().split()
    cases = [name for name in listing if not args.filter or args.filter in name]
    runs = [("native", native_run(args, True)), ("native 4 KB", native_run(args, False))]
    runs += [(label, wine_run(args, exe)) for label, exe in builds]
    tables = {label: {} for label, _ in runs}
    memcpys = {label: [] for label, _ in runs}
    for case in cases:
        print("timing", case, file=sys.stderr)
        for label, run in runs:
            medians = run(case)
            memcpys[label].append(medians["BM_Memcpy"])
            # The case's time, and its ratio to the memcpy of the same run.
            tables[label][case] = (medians[case], medians[case] / medians["BM_Memcpy"])
    huge, small = tables["native"], tables["native 4 KB"]
    dlls = [(label, tables[label]) for label, _ in builds]

    def median(values):
        values = sorted(values)
        return values[len(values) // 2] if values else 0

    print("size %dx%d, %d repetitions, medians in ms; each ratio is to the BM_Memcpy timed in the same run" %
          (args.size, args.size, args.repetitions))
    print("BM_Memcpy medians over the runs: " + ", ".join("%s %.2f" % (label, median(memcpys[label])) for label, _ in runs))
    header = "%-26s %16s %16s" % ("case", "native  ms   /mc", "4 KB  ms   /mc")
    for label, _ in dlls:
        header += " %18s %11s" % (label + "  ms   /mc", "/4KB  <=1.2")
    header += "  %s" % "4 KB goal"
    print(header)
    for name in cases:
        line = "%-26s %7.2f %8.2f %7.2f %8.2f" % (name, huge[name][0], huge[name][1], small[name][0], small[name][1])
        worst = small[name][1]
        for _, table in dlls:
            ms, r = table[name]
            over = r / small[name][1]
            worst = max(worst, r)
            line += " %9.2f %8.2f %6.2f %4s" % (ms, r, over, verdict(over, DLL_GOAL))
        if name in PAGE_GOALS:
            line += "  <=%g %s" % (PAGE_GOALS[name], verdict(worst, PAGE_GOALS[name]))
        print(line)
