"""Checks the comparison's verdicts and frame-time curve against a computation
of its own: results files are generated from the format's definition, the
comparison reads them (orvalis_compare_figures), and SciPy's Welch test,
NumPy resampling and integer nearest ranks give what it should say.
    compare_check.py ORVALIS_COMPARE_FIGURES"""
import json, math, os, subprocess, sys, tempfile

import numpy as np
from scipy import stats

rng = np.random.default_rng(7)


def tenths(seconds):
    """Version 1 record indices: each record closes the 0.1 s bucket its time reaches (at least the next one)."""
    return np.cumsum(np.maximum(1, np.round(np.asarray(seconds) * 10))) - 1


def document(version, runs, deterministic=True):
    """A results file; each run is (score, frames[], seconds[])."""
    out = []
    for score, frames, seconds in runs:
        records, start = [], 0.0
        for f, s, index in zip(frames, seconds, tenths(seconds)):
            record = {"avgFps": f / s, "frameCount": int(f)}
            if version == 1:
                record["time"] = int(index)
            else:
                record.update(startSeconds=start, durationSeconds=s)
            start += s
            records.append(record)
        run = {"score": score, "records": records, "frameTimes": {k: 1.0 for k in
               ("low1PercentFps", "low01PercentFps", "p50Ms", "p95Ms", "p99Ms")}}
        if version == 2:
            run.update(complete=True, measuredSeconds=start)
        out.append(run)
    return {"formatVersion": version, "runs": out, "system": {"adapter": "A", "driverVersion": "1"},
            "configuration": {"width": 854, "height": 480, "raySteps": 72, "debrisCount": 80, "debrisEnabled": True,
                              "presentMode": "off", "deterministic": deterministic}}


def run(fps, records, score=None, spread=0.05, slow=None):
    """A run of 0.1 s records near `fps` frames a second; every `slow`th record
    stalls for five times as long with no more frames."""
    seconds = 0.1 * (1 + rng.normal(0, 0.02, records))
    frames = np.maximum(1, np.round(fps * 0.1 * (1 + rng.normal(0, spread, records))))
    if slow:
        seconds[::slow] *= 5
    return (score if score is not None else 25 * fps * (1 + rng.normal(0, 0.01)), frames, seconds)


def durations(version, seconds):
    """What the comparison takes a record's duration to be (the format's definition)."""
    if version == 2:
        return np.asarray(seconds)
    return np.diff(np.concatenate([[-1], tenths(seconds)])) / 10


def fps_of(version, runs):
    return [f.sum() / durations(version, s).sum() for _, f, s in runs]


def bootstrap(a, b, resamples=20000):
    """95 % percentile interval of the change of the mean over runs of frames over time, records resampled per run."""
    def draw(runs):
        total = 0
        for f, d in runs:
            pick = rng.integers(0, len(f), (resamples, len(f)))
            total = total + f[pick].sum(1) / d[pick].sum(1)
        return total / len(runs)
    return np.percentile((draw(b) / draw(a) - 1) * 100, [2.5, 97.5])


def check(name, files, figures):
    (va, ra), (vb, rb) = files
    a, b = fps_of(va, ra), fps_of(vb, rb)
    got = figures[1]["fps"]
    change = (np.mean(b) / np.mean(a) - 1) * 100
    assert math.isclose(got["change"], change, rel_tol=1e-9), (name, got, change)
    if len(a) > 1 and len(b) > 1:
        p = stats.ttest_ind(b, a, equal_var=False).pvalue
        scores = [[s for s, _, _ in r] for r in (ra, rb)]
        p_score = stats.ttest_ind(scores[1], scores[0], equal_var=False).pvalue
        assert got["test"] == "welch" and math.isclose(got["p"], p, rel_tol=1e-6), (name, got, p)
        assert math.isclose(figures[1]["score"]["p"], p_score, rel_tol=1e-6), (name, figures[1]["score"], p_score)
        significant = p < 0.05
    elif min(len(f) for r in (ra, rb) for _, f, _ in r) < 30:
        assert got["verdict"] == "too few records", (name, got)
        return print(f"ok - {name}: too few records")
    else:
        low, high = bootstrap(*[[(f, durations(v, s)) for _, f, s in r] for v, r in files])
        width = high - low
        assert got["test"] == "bootstrap" and abs(got["low"] - low) < 0.1 * width and abs(got["high"] - high) < 0.1 * width, \
            (name, got, low, high)
        assert got["low"] <= change <= got["high"], (name, got, change)
        significant = not low <= 0 <= high
    verdict = "within noise" if not significant or abs(change) < 1 else ("faster" if change > 0 else "slower")
    assert got["verdict"] == verdict, (name, got, verdict)
    evidence = f"p {got['p']:.3g}" if got["test"] == "welch" else f"interval {got['low']:+.2f} to {got['high']:+.2f} %"
    print(f"ok - {name}: {change:+.2f} %, {got['verdict']} ({got['test']}, {evidence})")


def check_curve(name, version, runs, curve):
    """The frame time under which p % of the frames lie, by nearest rank in integers."""
    times = np.concatenate([np.repeat(1000.0 / (f / s), f.astype(int)) for _, f, s in runs])
    times.sort()
    n = len(times)
    expected = [times[max(1, -(-p * n // 100)) - 1] for p in range(101)]
    assert [y for _, y in curve] == expected, (name, [(p, y, e) for p, (_, y), e in zip(range(101), curve, expected) if y != e])
    print(f"ok - {name}: frame-time curve by nearest rank over {n} frames")


def main(tool):
    # Stalls: 17 frames a second over time, though the mean of the record rates is 29.
    uneven = [run(40, 300, slow=3)]
    cases = [
        ("four runs each, 3 % faster", (2, [run(100, 400) for _ in range(4)]), (2, [run(103, 400) for _ in range(4)])),
        ("four runs each, the same speed", (2, [run(100, 400) for _ in range(4)]), (2, [run(100, 400) for _ in range(4)])),
        ("single runs, stalls against steady 25 FPS", (2, uneven), (2, [run(25, 300)])),
        ("a version 1 run against a version 2 run, 2 % slower", (1, [run(60, 600)]), (2, [run(58.8, 600)])),
        ("two runs against one", (2, [run(60, 200), run(61, 200)]), (2, [run(60.3, 200, spread=0.3)])),
        ("single runs of 29 records", (2, [run(60, 29)]), (2, [run(90, 29)])),
        ("single runs of 30 records, 50 % faster", (2, [run(60, 30)]), (2, [run(90, 30)])),
    ]
    with tempfile.TemporaryDirectory() as folder:
        for number, (name, *files) in enumerate(cases):
            paths = []
            for letter, (version, runs) in zip("ab", files):
                paths.append(os.path.join(folder, f"{number}{letter}.json"))
                with open(paths[-1], "w") as out:
                    json.dump(document(version, runs), out)
            figures = json.loads(subprocess.run([tool, *paths], check=True, capture_output=True, text=True).stdout)
            check(name, files, figures)
            for (version, runs), f in zip(files, figures):
                check_curve(name, version, runs, f["curve"])
        # 100 frames of 1 to 100 ms: 7 % of them lie at or under 7 ms (in floating point, 7 / 100.0 * 100 > 7).
        ms = rng.permutation(np.arange(1, 101))
        single = [(1.0, np.ones(100), ms / 1000.0)]
        path = os.path.join(folder, "ms.json")
        with open(path, "w") as out:
            json.dump(document(2, single), out)
        figures = json.loads(subprocess.run([tool, path, path], check=True, capture_output=True, text=True).stdout)
        check_curve("100 frames of 1 to 100 ms", 2, single, figures[0]["curve"])
        assert figures[0]["curve"][7][1] == 1000.0 / (1 / 0.007)


if __name__ == "__main__":
    main(sys.argv[1])
