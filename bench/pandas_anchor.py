#!/usr/bin/env python3
"""The pandas anchor of the selection benchmark: the same indicator set on one
stock's closes, numbers only (no tables, no texts), as pandas computes it.

Prints the median milliseconds of one computation; prints nothing when this
Python has no pandas. usage: pandas_anchor.py LIST_FILE [RUNS]
"""

import sys
import time

try:
    import pandas as pd
except ImportError:
    sys.exit(0)


def indicators(close):
    """close: oldest first. Averages 5/25/75/200/1000, their trend lines,
    deviations, the 9- and 65-day stochastics with their slow lines."""
    out = {}
    price = round(close.iloc[-25:].mean())
    for w, lag, f in ((5, 2, -4.0), (25, 12, 2.5), (75, 37, 2.5), (200, 100, 2.5), (1000, 100, 2.5)):
        avg = close.rolling(w).mean().round()
        out["ma%d" % w] = avg
        out["s%d" % w] = (price * f * (avg - avg.shift(lag)) / avg).round()
        out["dev%d" % w] = ((close - avg) / avg * 100).round(2)
    for w in (9, 65):
        hi, lo = close.rolling(w).max(), close.rolling(w).min()
        fast = (close - lo) / (hi - lo) * 100
        out["fast%d" % w] = fast
        out["slow%d" % w] = fast.rolling(3).mean()
    return pd.DataFrame(out)


def main():
    path = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    table = pd.read_csv(path, encoding="cp932", header=0)
    column = table.columns[4] if len(table.columns) > 4 else table.columns[-1]
    close = pd.to_numeric(table[column], errors="coerce").dropna().iloc[::-1].reset_index(drop=True)
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        indicators(close)
        times.append((time.perf_counter() - start) * 1000)
    times.sort()
    print("%.3f ms (%d closes, median of %d)" % (times[len(times) // 2], len(close), runs))


if __name__ == "__main__":
    main()
