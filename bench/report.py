#!/usr/bin/env python3
"""Runs every benchmark of a release build and the three.js peer, then prints one table.

Usage: bench/report.py BUILD_DIR [--json FILE]

Every figure in the table comes from this one run. Progress goes to standard error; the
table (Markdown) to standard output. --json also writes the raw results to FILE.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "peer")
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def say(text):
    print(text, file=sys.stderr, flush=True)


def run_benchmark(build, program, *arguments, env=None):
    """Runs one Google Benchmark program; returns its benchmarks by name. With
    repetitions, a name maps to its median."""
    path = os.path.join(build, "bench", program)
    say(f"== {program} {' '.join(arguments)}")
    out = subprocess.run([path, "--benchmark_format=json", *arguments], check=True,
                         stdout=subprocess.PIPE, text=True, env=env).stdout
    results = {}
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("error_occurred"):
            raise SystemExit(f"{program}: {entry['name']}: {entry.get('error_message')}")
        if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") != "median":
            continue
        # Run settings in the name (iterations, manual or real time) are not part of it here.
        name = re.sub(r"/(iterations:\d+|manual_time|real_time)", "", entry.get("run_name", entry["name"]))
        results[name] = entry
    return results


def real_ns(entry):
    return entry["real_time"] * UNIT_NS[entry["time_unit"]]


def fmt(value, digits=1):
    return f"{value:.{digits}f}"


def verdict(met):
    return "yes" if met else "**no**"


def run_on_xvfb(build, program):
    """Runs a benchmark program on a 1920x1080 Xvfb screen of its own, or off-screen
    where Xvfb is not installed."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    try:
        read_end, write_end = os.pipe()
        server = subprocess.Popen(["Xvfb", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-displayfd",
                                   str(write_end)], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    except FileNotFoundError:
        return run_benchmark(build, program, env=env)
    os.close(write_end)
    with os.fdopen(read_end) as display:
        env["DISPLAY"] = ":" + display.readline().strip()
    try:
        return run_benchmark(build, program, env=env)
    finally:
        server.terminate()
        server.wait()


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    build = sys.argv[1]
    json_out = sys.argv[sys.argv.index("--json") + 1] if "--json" in sys.argv else None
    scratch = tempfile.mkdtemp(prefix="taldrex-bench-")
    keys = os.path.join(scratch, "clip-keys.json")
    repetitions = ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"]

    raw = {}
    raw["anim"] = run_benchmark(build, "anim_peer_bench", f"--write_keys={keys}", *repetitions)
    say("== three.js peer (node bench/peer/anim_peer.mjs)")
    raw["peer"] = json.loads(subprocess.run(["node", os.path.join(PEER, "anim_peer.mjs"), keys], check=True,
                                            stdout=subprocess.PIPE, text=True, cwd=PEER).stdout)
    raw["morph"] = run_benchmark(build, "anim_bench", "--benchmark_filter=Morph.*/(100000|1000000)$", *repetitions)
    raw["load"] = run_benchmark(build, "scene_load_bench", *repetitions)
    raw["startup"] = run_benchmark(build, "startup_bench")
    raw["frame"] = run_benchmark(build, "show_frame_bench")
    raw["clock"] = run_benchmark(build, "clock_bench")
    raw["lists"] = run_benchmark(build, "list_bench")
    raw["pacing"] = run_on_xvfb(build, "pacing_bench")
    raw["capture"] = run_benchmark(build, "capture_bench")
    raw["edit"] = run_benchmark(build, "edit_bench", *repetitions)
    say("== the web page in headless Chromium (node scripts/web/bench.mjs)")
    out = subprocess.run(["node", os.path.join(HERE, "..", "scripts", "web", "bench.mjs")], check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    raw["web"] = {entry["name"]: entry for entry in map(json.loads, filter(None, out.splitlines()))}
    os.remove(keys)
    os.rmdir(scratch)
    if json_out:
        with open(json_out, "w") as f:
            json.dump(raw, f, indent=1)

    rows = []

    def row(*cells):
        rows.append(cells)

    # 1. Animation evaluation beside three.js.
    peer = raw["peer"]
    for kind, label, target in (("all", "all 600 tracks", True), ("vectors", "position + scale only", False),
                                ("rotations", "rotation only", False)):
        entry = raw["anim"][f"BM_ClipNodeEvaluation/{kind}"]
        ours = real_ns(entry) / entry["track_evaluations"]
        theirs = peer[kind]["ns_per_track_median"]
        ratio = theirs / ours
        row("1 Animation, ns per track evaluation" if target else "", label, fmt(ours),
            f"three.js r{peer['three']} mixer: {fmt(theirs)}", f"{fmt(ratio)}x faster",
            ">= 5x faster" if target else "", verdict(ratio >= 5) if target else "")

    # 2. Morph blending beside the memory-bandwidth bound.
    for vertices, label in ((100000, "100k vertices"), (1000000, "1M vertices")):
        blend = raw["morph"][f"BM_MorphBlend/{vertices}"]["bytes_per_second"] / 1e9
        bound = raw["morph"][f"BM_MorphBandwidthBound/{vertices}"]["bytes_per_second"] / 1e9
        ratio = blend / bound
        row("2 Morph blend, GB/s" if vertices == 100000 else "", label, fmt(blend),
            f"bandwidth bound: {fmt(bound)}", f"{fmt(ratio, 2)} of bound", ">= 0.5 of bound", verdict(ratio >= 0.5))

    # 3. Scene loading beside reading the same bytes.
    loaded = raw["load"]["BM_LoadFile"]
    load = real_ns(loaded) / 1e6
    read = real_ns(raw["load"]["BM_FreadSceneBytes"]) / 1e6
    fresh = raw["load"]["BM_FreadSceneBytesFreshBuffer"]
    warm = real_ns(raw["load"]["BM_LoadFileWarmHeap"]) / 1e6
    row("3 Scene loading, ms", f"50 MB scene file ({fmt(loaded['fresh_mb'], 0)} MB fresh memory)", fmt(load),
        f"fread of its bytes: {fmt(read)}", f"{fmt(load / read)}x the read", "<= 3x the read",
        verdict(load / read <= 3))
    row("", "the same, heap memory reused", fmt(warm),
        f"fread into fresh memory: {fmt(real_ns(fresh) / 1e6)}", f"{fmt(warm / read)}x the read", "", "")

    # 4. Start-up to the first captured frame.
    player = raw["startup"]["BM_PlayerFirstFrame"]
    empty = raw["startup"]["BM_EmptyFrame"]
    first = real_ns(player) / 1e6
    baseline = real_ns(empty) / 1e6
    row("4 Start-up to first frame, ms", f"capture, bundled show (CPU {fmt(player['cpu_ms'], 0)})", fmt(first),
        f"context + empty frame: {fmt(baseline)} (CPU {fmt(empty['cpu_ms'], 0)})", f"{fmt(first / baseline)}x",
        "< 300 ms", verdict(first < 300))
    window = raw["startup"]["BM_WindowRunFirstFrame"]
    window_ms = real_ns(window) / 1e6
    before = raw["startup"].get("BM_WindowRunFirstFrame/baseline")
    compared = f"baseline build: {fmt(real_ns(before) / 1e6)} (CPU {fmt(before['cpu_ms'], 0)})" if before else ""
    ratio = f"{fmt(window_ms / (real_ns(before) / 1e6), 2)}x" if before else ""
    row("", f"window run with its folder check (CPU {fmt(window['cpu_ms'], 0)})", fmt(window_ms), compared, ratio, "", "")

    # 5. Frame time of the bundled show.
    show = raw["frame"]["BM_ShowFrames"]
    clear = raw["frame"]["BM_ClearAndReadBack"]
    share = show["evaluation_share"] * 100
    for stat, label in (("mean", "mean"), ("p99", "p99")):
        frame = show[f"frame_{stat}_ms"]
        phases = "/".join(fmt(show[f"{p}_{stat}_ms"], 2) for p in ("evaluation", "drawing", "readback"))
        row("5 Frame 1280x720, ms" if stat == "mean" else "",
            f"{label}: eval/draw/read {phases}", fmt(frame, 2),
            f"clear + read-back: {fmt(clear[f'frame_{stat}_ms'], 2)}", f"{fmt(frame / clear[f'frame_{stat}_ms'])}x",
            "evaluation < 2% of frame" if stat == "mean" else "",
            f"{verdict(share < 2)} ({fmt(share, 2)}%)" if stat == "mean" else "")
    if show.get("label"):
        say(f"note: {show['label']}")
    # The same frames drawn by the gles2 renderer, beside the gl renderer's of this run.
    shaded = raw["frame"]["BM_ShowFramesGles2"]
    for stat, label in (("mean", "mean"), ("p99", "p99")):
        frame = shaded[f"frame_{stat}_ms"]
        fixed = show[f"frame_{stat}_ms"]
        phases = "/".join(fmt(shaded[f"{p}_{stat}_ms"], 2) for p in ("evaluation", "drawing", "readback"))
        row("5b Frame 1280x720, gles2 renderer, ms" if stat == "mean" else "",
            f"{label}: eval/draw/read {phases}", fmt(frame, 2), f"gl renderer: {fmt(fixed, 2)}",
            f"{fmt(frame / fixed, 2)}x", "", "")

    # 6. Music clock accuracy.
    clock = raw["clock"]["BM_MusicClock"]
    largest = clock["largest_difference_ms"]
    row("6 Music clock, ms", f"clock vs samples consumed, largest gap over {fmt(clock['seconds'], 0)} s",
        fmt(largest, 2), f"p99: {fmt(clock['p99_difference_ms'], 2)}, mean: {fmt(clock['mean_difference_ms'], 2)}",
        f"device late: {fmt(clock['interval_at_largest_gap_ms'], 1)} ms for {fmt(clock['buffer_ms'], 1)}", "within 5 ms", verdict(largest <= 5))
    drift = clock["drift_vs_wall_ms_per_min"]
    device = clock["device_drift_vs_wall_ms_per_min"]
    row("", "drift vs wall clock, ms/min", fmt(drift, 2), f"disk device vs wall: {fmt(device, 2)}",
        f"vs device: {fmt(clock['drift_vs_device_ms_per_min'], 2)}", "< 1 ms/min", verdict(abs(drift) < 1))

    # 7. Long lists load in linear time; crafted names link as fast as random ones.
    lists = raw["lists"]
    parts = real_ns(lists["BM_LoadScriptParts"]) / 1e6
    row("7 Long lists, ms", "script of 10^6 parts", fmt(parts), "", "", "< 2000 ms", verdict(parts < 2000))
    siblings = lists["BM_LoadSiblingTargets"]
    sibling_ms = real_ns(siblings) / 1e6
    row("", f"3 x 10^6 sibling targets ({fmt(siblings['file_mb'], 0)} MB scene)", fmt(sibling_ms), "", "",
        "< 5000 ms", verdict(sibling_ms < 5000))
    crafted = real_ns(lists["BM_LinkCraftedNames"]) / 1e6
    random_names = real_ns(lists["BM_LinkRandomNames"]) / 1e6
    row("8 Sibling names, ms", "31.7k siblings sharing one std::hash value", fmt(crafted, 2),
        f"random names: {fmt(random_names, 2)}", f"{fmt(crafted / random_names, 2)}x", "<= 1.5x random",
        verdict(crafted / random_names <= 1.5))

    # 9. Frame pacing with and without vsync.
    for vsync, label in ((1, "vsync on (default)"), (0, "--vsync off")):
        pacing = raw["pacing"][f"BM_FramePacing/vsync:{vsync}"]
        period = pacing["refresh_period_ms"]
        stddev = pacing["stddev_ms"]
        mean = pacing["mean_interval_ms"]
        met = mean >= 0.9 * period and stddev <= 0.1 * period if vsync else None
        row("9 Frame pacing, stddev of intervals, ms" if vsync else "",
            f"{label}, {pacing.get('label', '')}, swap interval {int(pacing['swap_interval'])}", fmt(stddev, 2),
            f"refresh period: {fmt(period)}", f"mean interval {fmt(mean, 2)}",
            "mean >= 0.9 period, stddev <= 0.1 period" if vsync else "unlimited",
            verdict(met) if vsync else "")
    # 7. Capture throughput beside drawing only, and beside the capture done in turn.
    capture = raw["capture"]
    for size, title in (("720p30", "1280x720/30"), ("1080p60", "1920x1080/60")):
        draw = capture[f"BM_DrawOnly/{size}"]
        span = fmt(draw["show_seconds"], 0)
        first = True
        for output, label in (("png", "PNG frames"), ("video", "video")):
            piped = capture[f"BM_Capture/{size}/{output}/pipelined"]
            single = capture[f"BM_Capture/{size}/{output}/one_thread"]
            share = piped["fps"] / draw["fps"]
            row(f"10 Capture {title}, fps (first {span} s)" if first else "", f"{label}, pipelined", fmt(piped["fps"]),
                f"drawing only: {fmt(draw['fps'])} (CPU {fmt(draw['cpu_seconds'], 0)} s)", f"{fmt(share, 2)} of drawing",
                ">= 0.85 of drawing" if output == "png" else "",
                verdict(share >= 0.85) if output == "png" else "")
            first = False
            speedup = piped["fps"] / single["fps"]
            row("", f"{label}, pipelined vs one thread in turn", fmt(piped["fps"]),
                f"one thread: {fmt(single['fps'])} (CPU {fmt(single['cpu_seconds'], 0)} s vs {fmt(piped['cpu_seconds'], 0)} s)",
                f"{fmt(speedup, 2)}x", ">= 1.5x", verdict(speedup >= 1.5))

    # 8. Memory of a 1080p60 video capture over a short and a longer span: the player's
    # own, with its ffmpeg's beside it.
    short = capture["BM_Capture/1080p60/video/pipelined"]
    long = capture["BM_Capture/1080p60/video/pipelined_long"]
    flat = long["peak_mb"] <= short["peak_mb"] * 1.1
    row("11 Peak memory, MB", f"1080p60 video, first {fmt(long['show_seconds'], 0)} s of the show", fmt(long["peak_mb"], 0),
        f"first {fmt(short['show_seconds'], 0)} s: {fmt(short['peak_mb'], 0)}; ffmpeg: {fmt(long['ffmpeg_peak_mb'], 0)}",
        f"{fmt(long['peak_mb'] / short['peak_mb'], 2)}x", "< 300 MB, flat", verdict(long["peak_mb"] < 300 and flat))

    # 12. The same show in the web page (WebGL 1 on SwiftShader, in headless Chromium), beside
    # the desktop's figures of this run.
    page = raw["web"]
    web_first = page["web.first_frame"]["value"]
    row("12 Web page", "first frame of the bundled show, served on 127.0.0.1, ms", fmt(web_first, 0),
        f"desktop window run: {fmt(window_ms, 0)}", f"{fmt(web_first / window_ms, 1)}x", "", "")
    web_frame = page["web.frame_time_1280x720"]["value"]
    row("", "frame 1280x720, mean, ms", fmt(web_frame, 1),
        f"desktop gles2 renderer: {fmt(shaded['frame_mean_ms'], 2)}", f"{fmt(web_frame / shaded['frame_mean_ms'], 1)}x",
        "", "")
    for name in ("taldrex.wasm", "taldrex.js", "page.js", "show"):
        entry = page[f"web.download.{name}"]
        row("", f"download: {name}, kB", fmt(entry["value"] / 1e3, 0), f"gzipped -9: {fmt(entry['gzip9'] / 1e3, 0)}",
            f"{fmt(entry['gzip9'] / entry['value'], 2)}x", "", "")

    # 13. Editing a 10,000-part show in author mode: a frame's work beside drawing stays what
    # it is without edits, whatever was edited; an edit and a save's writing are one-offs.
    edit = raw["edit"]
    untouched = real_ns(edit["BM_EditingFrame/10000/0"]) / 1e3
    small = real_ns(edit["BM_EditingFrame/10/0"]) / 1e3
    edited = real_ns(edit["BM_EditingFrame/10000/1"]) / 1e3
    row("13 Timeline edits, 10^4 parts, us", "a frame's editing work after 1,000 edits", fmt(edited, 2),
        f"untouched: {fmt(untouched, 2)}", f"{fmt(edited / untouched, 2)}x", "<= 1.25x untouched",
        verdict(edited <= 1.25 * untouched))
    row("", "a frame's editing work, untouched", fmt(untouched, 2), f"10 parts: {fmt(small, 2)}",
        f"{fmt(untouched / small, 1)}x", "", "")
    # A dragged boundary seeks the picture to the playhead each frame: one walk of the parts.
    dragging = real_ns(edit["BM_EditingFrame/10000/2"]) / 1e3
    row("", "a frame while a boundary is dragged (the picture sought again)", fmt(dragging, 2),
        f"untouched: {fmt(untouched, 2)}", f"{fmt(dragging / untouched, 1)}x", "< 1000 us", verdict(dragging < 1000))
    cut = real_ns(edit["BM_CutAndUndo/10000"]) / 1e3
    row("", "a cut and its undo, mid-show", fmt(cut, 1), f"10 parts: {fmt(real_ns(edit['BM_CutAndUndo/10']) / 1e3, 2)}",
        "", "< 16,667 us (a frame at 60 Hz)", verdict(cut < 16667))
    written = real_ns(edit["BM_WriteScript/10000"]) / 1e6
    row("", "Ctrl+S: the script written (in memory), ms", fmt(written, 2), "", "", "", "")

    header = ("Row", "Measured", "Ours", "Compared with", "Ratio", "Target", "Met")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
    line = lambda cells: "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))


if __name__ == "__main__":
    main()
