"""Checks the comparison's verdicts and frame-time curve against a computation
of its own: results files generated from the format's definition are read by
the comparison (orvalis_compare_figures), and SciPy's Welch test, NumPy
resampling and integer nearest ranks say what it should find.
    compare_check.py ORVALIS_COMPARE_FIGURES"""
import json, math, os, subprocess, sys, tempfile

import numpy as np
from scipy import stats

rng = np.random.default_rng(7)


def tenths(seconds):
    """Version 1 record indices: each record closes the 0.1 s step its time reaches (at least the next one)."""
    return np.cumsum(np.maximum(1, np.round(np.asarray(seconds) * 10))) - 1


def durations(version, seconds):
    """A record's duration: given in version 2, the steps its index advanced in version 1."""
    return np.asarray(seconds) if version == 2 else np.diff(np.concatenate([[-1], tenths(seconds)])) / 10


def document(version, runs):
    out = []
    for score, frames, seconds in runs:
        starts = np.concatenate([[0], np.cumsum(seconds)[:-1]])
        records = [{"avgFps": f / s, "frameCount": int(f), **({"time": int(i)} if version == 1 else
                    {"startSeconds": t, "durationSeconds": s})} for f, s, t, i in zip(frames, seconds, starts, tenths(seconds))]
        out.append({"score": score, "records": records, "complete": True, "measuredSeconds": float(np.sum(seconds)),
                    "frameTimes": dict.fromkeys(["low1PercentFps", "low01PercentFps", "p50Ms", "p95Ms", "p99Ms"], 1.0)})
    return {"formatVersion": version, "runs": out, "system": {"adapter": "A", "driverVersion": "1"},
            "configuration": {"width": 854, "height": 480, "raySteps": 72, "debrisCount": 80, "debrisEnabled": True,
                              "presentMode": "off", "deterministic": True}}


def run(fps, records, spread=0.05, stall=None):
    """(score, frames, seconds) of 0.1 s records near `fps`; every `stall`th record lasts 5 times as long, no more frames."""
    seconds = 0.1 * (1 + rng.normal(0, 0.02, records))
    frames = np.maximum(1, np.round(fps * 0.1 * (1 + rng.normal(0, spread, records))))
    if stall:
        seconds[::stall] *= 5
    return 25 * fps * (1 + rng.normal(0, 0.01)), frames, seconds


def bootstrap(a, b, resamples=20000):
    """95 % interval of the change of the mean over runs of frames over time, each run's records resampled."""
    def draw(runs):
        picks = [(f, d, rng.integers(0, len(f), (resamples, len(f)))) for f, d in runs]
        return sum(f[p].sum(1) / d[p].sum(1) for f, d, p in picks) / len(runs)
    return np.percentile((draw(b) / draw(a) - 1) * 100, [2.5, 97.5])


def check(name, files, figures):
    runs = [[(f, durations(v, s)) for _, f, s in r] for v, r in files]
    fps = [[f.sum() / d.sum() for f, d in r] for r in runs]
    got, change = figures[1]["fps"], (np.mean(fps[1]) / np.mean(fps[0]) - 1) * 100
    assert math.isclose(got["change"], change, rel_tol=1e-9), (name, got, change)
    if min(map(len, fps)) > 1:
        scores = [[s for s, _, _ in r] for _, r in files]
        for figure, values in ((figures[1]["score"], scores), (got, fps)):
            p = stats.ttest_ind(values[1], values[0], equal_var=False).pvalue
            assert figure["test"] == "welch" and math.isclose(figure["p"], p, rel_tol=1e-6), (name, figure, p)
        significant = p < 0.05
    elif min(len(f) for r in runs for f, _ in r) < 30:
        assert got["verdict"] == "too few records", (name, got)
        significant = None
    else:
        low, high = bootstrap(*runs)
        close = abs(got["low"] - low) < 0.1 * (high - low) and abs(got["high"] - high) < 0.1 * (high - low)
        assert got["test"] == "bootstrap" and close and got["low"] <= change <= got["high"], (name, got, low, high, change)
        significant = not low <= 0 <= high
    if significant is not None:
        verdict = "within noise" if not significant or abs(change) < 1 else ("faster" if change > 0 else "slower")
        assert got["verdict"] == verdict, (name, got, verdict)
    for (_, r), curve in zip(files, (f["curve"] for f in figures)):
        times = np.sort(np.concatenate([np.repeat(1000.0 / (f / s), f.astype(int)) for _, f, s in r]))
        expected = [times[max(1, -(-p * len(times) // 100)) - 1] for p in range(101)]
        assert [y for _, y in curve] == expected, (name, [(p, y, e) for p, (_, y), e in zip(range(101), curve, expected) if y != e])
    print(f"ok - {name}: {got['change']:+.2f} %, {got['verdict']} ({got['test']}, p {got['p']:.3g}, "
          f"interval {got['low']:+.2f} to {got['high']:+.2f} %); the frame-time curves by nearest rank")


CASES = [
    ("four runs each, 3 % faster", (2, [run(100, 400) for _ in range(4)]), (2, [run(103, 400) for _ in range(4)])),
    ("four runs each, the same speed", (2, [run(100, 400) for _ in range(4)]), (2, [run(100, 400) for _ in range(4)])),
    # 17 frames a second over time, though the mean of the record rates is 29.
    ("single runs, stalls against steady 25 FPS", (2, [run(40, 300, stall=3)]), (2, [run(25, 300)])),
    ("a version 1 run against a version 2 run, 2 % slower", (1, [run(60, 600)]), (2, [run(58.8, 600)])),
    ("two runs against one", (2, [run(60, 200), run(61, 200)]), (2, [run(60.3, 200, spread=0.3)])),
    ("single runs of 29 records", (2, [run(60, 29)]), (2, [run(90, 29)])),
    ("single runs of 30 records, 50 % faster", (2, [run(60, 30)]), (2, [run(90, 30)])),
    # 1 to 100 ms: 7 % of the frames take 7 ms or less (in floating point, 7 / 100.0 * 100 is above 7).
    ("100 frames of 1 to 100 ms", *[(2, [(1.0, np.ones(100), rng.permutation(np.arange(1, 101)) / 1000.0)])] * 2),
]

with tempfile.TemporaryDirectory() as folder:
    for number, (name, *files) in enumerate(CASES):
        paths = [os.path.join(folder, f"{number}{side}.json") for side in "ab"]
        for path, (version, runs) in zip(paths, files):
            with open(path, "w") as out:
                json.dump(document(version, runs), out)
        result = subprocess.run([sys.argv[1], *paths], check=True, capture_output=True, text=True)
        check(name, files, json.loads(result.stdout))
