#!/usr/bin/env python3
"""Bytes per 30-day month from byte_proxy.py's counts.

    netbudget_summary.py counts.json [default|lowdata] [--json]
    netbudget_summary.py --docs OUT.json default=counts.json lowdata=counts.json

Periodic traffic (heartbeat, polls, policy sync, telemetry) is each route's measured bytes per
request after the "warm" mark times its turns in 30 days; anything else that moved after the
mark (the push channel, alert reports) is scaled from that window to 30 days. What the agent does once a day is
counted once a day: the speed test (at default settings; never automatic in low-data mode)
and the installed-apps report, whose unchanged list goes again only as the daily refresh. The
start-up traffic before the mark (first reports, token registration) is a per-restart cost,
shown apart and not in the month.
"""

import json
import sys

MONTH_SECONDS = 30 * 86400
DAYS = 30
# The agent's loop periods (push channel connected). A 10-minute window holds one or two turns
# of the slower loops, so a route with a period is counted as its measured bytes per request
# times its turns in a month; "requests" in the table shows the window agreed with the period.
PERIODS = {
    "default": {"POST /api/heartbeat": 900, "GET /api/device_policy": 300, "GET /api/app_updates": 300,
                "POST /api/device_commands": 300, "POST /api/device_telemetry": 60},
    "lowdata": {"POST /api/heartbeat": 900, "GET /api/device_policy": 1800, "GET /api/app_updates": 300,
                "POST /api/device_commands": 900, "POST /api/device_telemetry": 360},
}


def total(route):
    return route["up_head"] + route["up_body"] + route["down_head"] + route["down_body"]


def minus(a, b):
    return {k: a[k] - b.get(k, 0) for k in a}


def summarize(counts, mode):
    warm = counts["marks"].get("warm")
    if not warm:
        sys.exit("no warm mark: the run was shorter than its warm-up")
    window = counts["elapsed_seconds"] - warm["elapsed_seconds"]
    scale = MONTH_SECONDS / window
    rows = []
    for name, route in sorted(counts["routes"].items()):
        before = warm["routes"].get(name, {k: 0 for k in route})
        steady = minus(route, before)
        daily = "speedtest" in name or "installed_apps" in name
        period = PERIODS.get(mode, {}).get(name)
        if daily:
            # Once a day: the speed test's whole run (never automatic in low-data mode), one
            # installed-apps report (the daily refresh of an unchanged list).
            per_day = total(route) if "speedtest" in name else total(route) / max(1, route["requests"])
            if "speedtest" in name and mode == "lowdata":
                per_day = 0
            month = per_day * DAYS
            basis = "daily"
        elif period and route["requests"]:
            sample = steady if steady["requests"] else route
            month = total(sample) / sample["requests"] * MONTH_SECONDS / period
            basis = "%ds" % period
        else:
            month = total(steady) * scale
            basis = "steady"
        rows.append({
            "route": name,
            "basis": basis,
            "requests_in_window": steady["requests"],
            "bytes_per_request": round(total(steady) / steady["requests"]) if steady["requests"] else
            (round(total(route) / route["requests"]) if route["requests"] else 0),
            "headers_share": round((steady["up_head"] + steady["down_head"]) / total(steady), 2) if total(steady) else None,
            "startup_bytes": total(before),
            "month_bytes": round(month),
        })
    month = sum(r["month_bytes"] for r in rows)
    # Alert reports depend on the machine's state (a loaded build machine fires CPU and disk
    # alerts all the time), so the month is also given without them.
    alerts = sum(r["month_bytes"] for r in rows if "device_alert" in r["route"])
    result = {
        "mode": mode,
        "window_seconds": round(window, 1),
        "run_seconds": counts["elapsed_seconds"],
        "connections_total": counts["connections"],
        "connections_in_window": counts["connections"] - warm["connections"],
        "month_bytes": month,
        "month_mb": round(month / 1e6, 2),
        "month_mb_without_alerts": round((month - alerts) / 1e6, 2),
        "routes": rows,
    }
    return result


def docs_table(results):
    """The figures the console's polling texts quote, per mode, in MB per 30-day month."""
    table = {
        "what": "Bytes per agent per 30-day month through a byte-counting proxy (bench/netbudget.sh); "
                "MB = 1,000,000 bytes. Regenerate with bench/netbudget_summary.py --docs.",
    }
    for result in results:
        table[result["mode"]] = {
            "month_mb": result["month_mb"],
            "month_mb_without_alerts": result["month_mb_without_alerts"],
            "target_mb": 100 if result["mode"] == "default" else 15,
            "measured_seconds": result["run_seconds"],
            "routes_mb": {r["route"]: round(r["month_bytes"] / 1e6, 2) for r in result["routes"] if r["month_bytes"]},
        }
    return table


def main():
    if sys.argv[1] == "--docs":
        # --docs OUT default=counts.json lowdata=counts.json
        results = []
        for item in sys.argv[3:]:
            mode, _, path = item.partition("=")
            results.append(summarize(json.load(open(path)), mode))
        with open(sys.argv[2], "w") as out:
            json.dump(docs_table(results), out, indent=1, sort_keys=True)
            out.write("\n")
        return
    counts = json.load(open(sys.argv[1]))
    mode = sys.argv[2] if len(sys.argv) > 2 else "default"
    result = summarize(counts, mode)
    if "--json" in sys.argv:
        print(json.dumps(result, indent=1))
        return
    rows, month = result["routes"], result["month_bytes"]
    window = result["window_seconds"]
    warm_seconds = result["run_seconds"] - window
    print("mode %s: %.0f s measured after a %.0f s warm-up, %d connections (%d in the window)" % (
        mode, window, warm_seconds, counts["connections"], result["connections_in_window"]))
    print("%-34s %6s %8s %9s %7s %10s %12s" % ("route", "basis", "requests", "bytes/req", "headers",
                                             "start-up", "per month"))
    for r in sorted(rows, key=lambda r: -r["month_bytes"]):
        share = "-" if r["headers_share"] is None else "%d %%" % round(r["headers_share"] * 100)
        print("%-34s %6s %8d %9d %7s %10d %9.2f MB" % (r["route"], r["basis"], r["requests_in_window"],
                                                     r["bytes_per_request"], share, r["startup_bytes"],
                                                     r["month_bytes"] / 1e6))
    print("total per 30-day month: %.2f MB (%.2f MB without alert reports)" % (month / 1e6,
                                                                          result["month_mb_without_alerts"]))


if __name__ == "__main__":
    main()
