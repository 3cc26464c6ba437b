#!/usr/bin/python3
"""Draws the soak's memory curve from bench/soak.sh's samples.csv.

Usage: bench/soak_plot.py SAMPLES_CSV OUTPUT_PNG

Resident memory of the agent and of vesk-fleetd against wall-clock minutes (the top axis
shows the agent's accelerated hours), with the end of the warm-up and the server's restarts
marked. Needs matplotlib from Debian (python3-matplotlib), hence the Debian interpreter.
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

WARMUP_MINUTES = 10


def main(samples_path: str, output_path: str) -> None:
    with open(samples_path, newline="") as handle:
        rows = [{key: float(value) for key, value in row.items()} for row in csv.DictReader(handle)]
    if not rows:
        sys.exit(f"{samples_path} holds no samples")
    minutes = [row["elapsed_s"] / 60 for row in rows]
    per_minute = rows[-1]["agent_hours"] / minutes[-1] if minutes[-1] else 0

    figure, axis = plt.subplots(figsize=(9, 4.5), dpi=110)
    axis.plot(minutes, [row["agent_rss_kb"] / 1024 for row in rows], label="vesk-warden", color="tab:blue")
    axis.plot(minutes, [row["fleetd_rss_kb"] / 1024 for row in rows], label="vesk-fleetd", color="tab:orange")
    axis.axvline(WARMUP_MINUTES, color="grey", linestyle=":", label="end of warm-up")
    for before, after in zip(rows, rows[1:]):
        if after["server_restarts"] > before["server_restarts"]:
            axis.axvline(after["elapsed_s"] / 60, color="tab:red", alpha=0.3, linewidth=1)
    axis.set_xlabel("wall-clock minutes (red lines: server restarts)")
    axis.set_ylabel("resident memory (MiB)")
    axis.set_ylim(bottom=0)
    axis.grid(alpha=0.3)
    axis.legend(loc="lower right")
    if per_minute:
        top = axis.secondary_xaxis("top", functions=(lambda m: m * per_minute, lambda h: h / per_minute))
        top.set_xlabel("agent hours (accelerated)")
    axis.set_title("Accelerated soak: resident memory")
    figure.tight_layout()
    figure.savefig(output_path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
