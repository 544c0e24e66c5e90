"""Puts the figures of scripts/bench.sh together: Markdown tables for docs/performance.md and
the data of the ratio chart (bench/ratios.gp).

  report.py RESULTS-FOLDER     (reads cli.json, startup.json, exchange.json; writes
                                 ratios.dat and tables.md there, prints the tables)
"""

import json
import os
import subprocess
import sys


def machine():
    fields = {}
    for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
        key, _, value = line.partition(":")
        fields[key.strip()] = value.strip()
    return "%s, %s CPUs" % (fields.get("Model name", "?"), fields.get("CPU(s)", "?"))


def main():
    folder = sys.argv[1]

    def load(name):
        with open(os.path.join(folder, name)) as f:
            return json.load(f)

    cli, startup, exchange = load("cli.json"), load("startup.json"), load("exchange.json")
    lines = ["Machine: %s (shared: other builds ran at the same time)." % machine(), ""]
    lines += [
        "| Whole process | pairs | ours (median) | peer (median) | ratio (median of pairs) | goal |",
        "|---|---:|---:|---:|---:|---:|",
    ]
    for r in cli:
        lines.append(
            "| `kelvora-fido2` vs libfido2: %s | %d | %.1f ms | %.1f ms | %.2fx | <= 1.0x |"
            % (r["operation"], r["pairs"], r["ours_ms"], r["peer_ms"], r["ratio"])
        )
    for r in startup:
        lines.append(
            "| desktop tool vs bare Qt window: %s | %d | %.1f ms | %.1f ms | %.2fx | <= 1.3x |"
            % (r["operation"], r["pairs"], r["ours_ms"], r["peer_ms"], r["ratio"])
        )
        lines.append(
            "| peak RSS, desktop tool vs bare Qt window | %d | %.1f MiB | %.1f MiB | +%.1f MiB | <= +10 MiB |"
            % (
                r["pairs"],
                r["ours_rss_kib"] / 1024,
                r["peer_rss_kib"] / 1024,
                r["rss_delta_kib"] / 1024,
            )
        )
    lines += [
        "",
        "| One exchange, in-process key | time (host + key) | instructions, host | instructions, key | reports out/in | wire floor |",
        "|---|---:|---:|---:|---:|---:|",
    ]
    for r in exchange:
        lines.append(
            "| %s | %.1f µs | %s | %s | %d / %d | %.0f ms |"
            % (
                r["operation"],
                r["median_us"],
                format(r["instructions_host"], ","),
                format(r["instructions_key"], ","),
                r["reports_out"],
                r["reports_in"],
                r["floor_ms"],
            )
        )
    text = "\n".join(lines) + "\n"
    with open(os.path.join(folder, "tables.md"), "w") as f:
        f.write(text)
    print(text)

    with open(os.path.join(folder, "ratios.dat"), "w") as f:
        f.write("# label ratio goal\n")
        for r in cli:
            f.write('"CLI: %s" %.3f 1.0\n' % (r["operation"], r["ratio"]))
        for r in startup:
            f.write('"GUI: start-up" %.3f 1.3\n' % r["ratio"])


if __name__ == "__main__":
    main()
