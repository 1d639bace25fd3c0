#!/usr/bin/env python3
"""kiln's whole-run benchmark: generates the benchmark adventure at each scale,
then times kiln on it against the floor of reading every input file once.

    python3 bench/run_bench.py --kiln build/bin/kiln [--scales 0.1 1 3] [--runs 5]
                               [--micro build-bench/bin/kiln_bench] [--work DIR]
                               [--unkiln build/bin/unkiln]

For every scale it reports kiln's wall time (the median of --runs runs, after
one run that warms the caches), its peak resident memory, the time `cat` takes
to read every input file once (the median of as many runs, interleaved with
kiln's so that both see the same machine), the ratio of the two, and the size
of the largest database written. Then it checks the targets:

  - at scale 1, kiln takes at most 1.8 x the time to read its inputs;
  - scale 3 takes at most 3.5 x scale 1;
  - peak memory is at most 2 x the largest database plus 10 MB;
  - with --unkiln: at scale 1, `unkiln extract` of the databases takes no
    longer than kiln takes to build them (timed in the same runs), both again
    into the same folder and into a new one; `unkiln preview` at most 3 x kiln;
  - with --micro: tokenizer >= 100 MB/s, RLE >= 300 MB/s, 8-bit conversion
    of BMPs >= 100 Mpixel/s, and a PNG brush at most twice the CPU time of
    its BMP twin (8-bit for a PNG with a colour table, 32-bit for RGBA).

A missed target is reported, not an error: the exit status is 0 whenever
every run of kiln succeeded.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen_adventure  # noqa: E402

def timed(args, cwd, env=None):
    """Runs args; returns (wall seconds, CPU seconds, peak RSS in bytes; see
    peak_memory for what the last is worth)."""
    # Standard error goes to a file, not a pipe: kiln's colour warnings could
    # fill a pipe that nobody reads until the run ends.
    with tempfile.TemporaryFile() as errors:
        start = time.perf_counter()
        proc = subprocess.Popen(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=errors)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode != 0:
            errors.seek(0)
            text = errors.read().decode(errors="replace")
            sys.exit("%s failed with status %d:\n%s" % (args[0], proc.returncode, text[-2000:]))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024


def peak_memory(args, cwd, env):
    """kiln's peak resident memory, through /usr/bin/time: a child forked from
    this Python process would report Python's own memory as its peak."""
    with tempfile.NamedTemporaryFile("r") as report:
        timed(["/usr/bin/time", "-f", "%M", "-o", report.name] + args, cwd, env)
        return int(report.read().split()[-1]) * 1024


def bench_scale(kiln, work, scale, runs, seed, unkiln=None):
    out = os.path.join(work, "scale-%g" % scale)
    start = time.perf_counter()
    root, inputs, size = gen_adventure.generate(out, scale, seed)
    generated = time.perf_counter() - start
    env = dict(os.environ, AdventuresPath=out, TMIIDEV="1")
    kiln_args = [kiln, "-fs", os.path.join(root, "pdbs.cfg")]
    cat_args = ["cat"] + inputs

    timed(cat_args, root)  # warm the page cache and the programs
    peak = peak_memory(kiln_args, root, env)
    kiln_times, kiln_cpu, cat_times, cat_cpu, unkiln_times, preview_times = [], [], [], [], [], []
    if unkiln:
        timed(kiln_args, root, env)
        databases = sorted(os.path.join(root, n) for n in os.listdir(root) if n.endswith(".pdb"))
        unkiln_args = [unkiln, "extract"] + databases + ["-o", os.path.join(out, "extracted", "Bench")]
        # The preview writes every picture: timed up to scale 1, where its target is.
        preview_dir = os.path.join(out, "preview")
        preview_args = [unkiln, "preview"] + databases + ["-o", preview_dir] if scale <= 1 else None
    fresh_times = []
    for run in range(runs):
        if unkiln:
            wall, _, _ = timed(unkiln_args, root)
            unkiln_times.append(wall)
            # Into a folder of its own as well: every file created, not
            # compared with the last run's. The folders are removed after
            # the last run, not between runs: an ext4 without a journal skips
            # the inodes freed in the last seconds each time it allocates one,
            # so creating thousands of files right after removing thousands
            # takes ten times as long, whatever program creates them.
            fresh = os.path.join(out, "extracted-%d" % run, "Bench")
            wall, _, _ = timed(unkiln_args[:-1] + [fresh], root)
            fresh_times.append(wall)
            if preview_args:
                wall, _, _ = timed(preview_args[:-1] + [preview_dir + "-%d" % run], root)
                preview_times.append(wall)
        wall, cpu, _ = timed(cat_args, root)
        cat_times.append(wall)
        cat_cpu.append(cpu)
        wall, cpu, _ = timed(kiln_args, root, env)
        kiln_times.append(wall)
        kiln_cpu.append(cpu)
    if unkiln:
        for run in range(runs):
            for folder in (os.path.join(out, "extracted-%d" % run), preview_dir + "-%d" % run):
                shutil.rmtree(folder, ignore_errors=True)
    databases = [os.path.join(root, n) for n in os.listdir(root) if n.endswith(".pdb")]
    largest = max(os.path.getsize(p) for p in databases)
    return {
        "scale": scale,
        "files": len(inputs),
        "input_bytes": size,
        "generate_s": generated,
        "kiln_s": statistics.median(kiln_times),
        "kiln_min_s": min(kiln_times),
        "kiln_max_s": max(kiln_times),
        "kiln_cpu_s": statistics.median(kiln_cpu),
        "cat_s": statistics.median(cat_times),
        "cat_cpu_s": statistics.median(cat_cpu),
        "peak_bytes": peak,
        "largest_db_bytes": largest,
        "output_bytes": sum(os.path.getsize(p) for p in databases),
        "unkiln_s": statistics.median(unkiln_times) if unkiln_times else None,
        "unkiln_fresh_s": statistics.median(fresh_times) if fresh_times else None,
        "preview_s": statistics.median(preview_times) if preview_times else None,
    }


MICRO_TARGETS = (
    # (benchmark name prefix, counter, floor, unit, label)
    ("BM_readTokens", "bytes_per_second", 100e6, 1e6, "MB/s", "tokenizer"),
    ("BM_compressRLE", "bytes_per_second", 300e6, 1e6, "MB/s", "RLE compressor"),
    ("BM_convertBitmap8", "items_per_second", 100e6, 1e6, "Mpixel/s", "8-bit conversion"),
)


def run_micro(binary):
    # The repetitions of all benchmarks run in a random order, so that a busy
    # moment of the machine does not fall on one benchmark and not its twin.
    result = subprocess.run([binary, "--benchmark_format=json", "--benchmark_repetitions=9",
                             "--benchmark_enable_random_interleaving=true", "--benchmark_min_time=0.1",
                             "--benchmark_report_aggregates_only=true"], capture_output=True, text=True)
    if result.returncode != 0:
        print("micro-benchmarks failed:\n" + result.stderr[-2000:])
        return []
    return json.loads(result.stdout)["benchmarks"]


def mb(n):
    return "%.1f MB" % (n / 1e6)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kiln", required=True)
    parser.add_argument("--scales", type=float, nargs="+", default=[0.1, 1.0, 3.0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seed", type=int, default=9)
    parser.add_argument("--micro", help="the micro-benchmark program, when built")
    parser.add_argument("--work", help="folder for the generated adventures (default: a temporary one)")
    parser.add_argument("--json", help="also write the figures to this file")
    parser.add_argument("--unkiln", help="also time `unkiln extract` and `unkiln preview` of the databases kiln builds")
    args = parser.parse_args()
    kiln = os.path.abspath(args.kiln)

    with tempfile.TemporaryDirectory(prefix="kiln-bench-") as tmp:
        work = os.path.abspath(args.work) if args.work else tmp
        results = []
        for scale in args.scales:
            r = bench_scale(kiln, work, scale, args.runs, args.seed,
                            os.path.abspath(args.unkiln) if args.unkiln else None)
            results.append(r)
            print("scale %-4g generated %d files, %s, in %.1f s" % (scale, r["files"], mb(r["input_bytes"]),
                                                                    r["generate_s"]), flush=True)

    print()
    print("Wall times are medians of %d runs (range in brackets); CPU is user + system time, the median too."
          % args.runs)
    print()
    print("| scale | inputs | kiln wall | read inputs (cat) wall | ratio | kiln CPU | cat CPU | CPU ratio "
          "| peak memory | largest database | memory bound |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for r in results:
        bound = 2 * r["largest_db_bytes"] + 10e6
        print("| %g | %d files, %s | %.3f s (%.3f-%.3f) | %.3f s | %.2f | %.3f s | %.3f s | %.2f | %s | %s | %s |" % (
            r["scale"], r["files"], mb(r["input_bytes"]), r["kiln_s"], r["kiln_min_s"], r["kiln_max_s"],
            r["cat_s"], r["kiln_s"] / r["cat_s"], r["kiln_cpu_s"], r["cat_cpu_s"],
            r["kiln_cpu_s"] / max(r["cat_cpu_s"], 1e-3), mb(r["peak_bytes"]), mb(r["largest_db_bytes"]), mb(bound)))

    print()
    print("Targets:")
    by_scale = {r["scale"]: r for r in results}

    def verdict(ok):
        return "met   " if ok else "MISSED"

    if 1.0 in by_scale:
        r = by_scale[1.0]
        ratio = r["kiln_s"] / r["cat_s"]
        print("  %s scale 1: kiln / read inputs = %.2f (target <= 1.8)" % (verdict(ratio <= 1.8), ratio))
    if 1.0 in by_scale and 3.0 in by_scale:
        growth = by_scale[3.0]["kiln_s"] / by_scale[1.0]["kiln_s"]
        print("  %s scale 3 / scale 1 = %.2f (target <= 3.5)" % (verdict(growth <= 3.5), growth))
    for r in results:
        bound = 2 * r["largest_db_bytes"] + 10e6
        print("  %s scale %g: peak memory %s (target <= %s)" % (verdict(r["peak_bytes"] <= bound), r["scale"],
                                                               mb(r["peak_bytes"]), mb(bound)))

    for r in results:
        if r["unkiln_s"] is None:
            continue
        for key, what in (("unkiln_s", "again into the same folder"), ("unkiln_fresh_s", "into a new folder")):
            ratio = r[key] / r["kiln_s"]
            line = "unkiln extract %s %.3f s, kiln %.3f s: ratio %.2f" % (what, r[key], r["kiln_s"], ratio)
            if r["scale"] == 1.0:
                print("  %s scale 1: %s (target <= 1)" % (verdict(ratio <= 1), line))
            else:
                print("         scale %g: %s" % (r["scale"], line))
        if r["preview_s"] is None:
            continue
        ratio = r["preview_s"] / r["kiln_s"]
        line = "unkiln preview %.3f s, kiln %.3f s: ratio %.2f" % (r["preview_s"], r["kiln_s"], ratio)
        if r["scale"] == 1.0:
            print("  %s scale 1: %s (target <= 3)" % (verdict(ratio <= 3), line))
        else:
            print("         scale %g: %s" % (r["scale"], line))

    micro = []
    if args.micro:
        micro = sorted(run_micro(args.micro), key=lambda b: b["run_name"])
        print()
        print("Micro-benchmarks (median of 9 repetitions in a random order; rates per CPU second, as Google Benchmark gives them):")
        for b in micro:
            if b.get("aggregate_name") != "median":
                continue
            rate = ""
            if "bytes_per_second" in b:
                rate = "%.0f MB/s" % (b["bytes_per_second"] / 1e6)
            elif "items_per_second" in b:
                per = b["items_per_second"]
                rate = "%.0f M items/s" % (per / 1e6) if per >= 1e6 else "%.0f items/s" % per
            print("  %-40s %10.1f %s CPU  %s" % (b["run_name"], b["cpu_time"], b["time_unit"], rate))
        print()
        for prefix, counter, floor, unit, unit_name, label in MICRO_TARGETS:
            # The conversion's floor is for 8-bit BMPs; the other images have
            # their own target below.
            found = [b for b in micro if b.get("aggregate_name") == "median" and b["run_name"].startswith(prefix)
                     and counter in b and not any(k in b["run_name"] for k in ("png", "bmp32"))]
            if not found:
                print("  (no %s benchmark in this build)" % label)
                continue
            worst = min(b[counter] for b in found)
            print("  %s %s: %.0f %s at the slowest input (target >= %.0f)" % (
                verdict(worst >= floor), label, worst / unit, unit_name, floor / unit))
        # A PNG brush costs at most twice its BMP twin: the same picture as an
        # 8-bit BMP for a PNG with a colour table, as a 32-bit BMP for RGBA.
        cpu = {b["run_name"].split("/")[-1]: b["cpu_time"] for b in micro if b.get("aggregate_name") == "median"}
        for brush in ("flat", "texture", "masked"):
            for png, twin in (("_png_table", ""), ("_png_rgba", "_bmp32"), ("_png_rgba", "")):
                name, base = "brush64_" + brush + png, "brush64_" + brush + twin
                if name in cpu and base in cpu:
                    ratio = cpu[name] / cpu[base]
                    twin_of = bool(twin) or png == "_png_table"
                    print("  %s PNG brush: %s %.1f us, %s %.1f us: %.2f x (%s)" % (
                        verdict(ratio <= 2) if twin_of else "      ", name, cpu[name], base, cpu[base], ratio,
                        "target <= 2" if twin_of else "beside the 8-bit BMP"))

    if args.json:
        with open(args.json, "w") as f:
            json.dump({"runs": args.runs, "scales": results, "micro": micro}, f, indent=1)


if __name__ == "__main__":
    main()
