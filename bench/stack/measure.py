"""The host's share of an exchange: time and instructions per operation, and the wire's floor.

  measure.py EXCHANGE-COST [--runs N] [--callgrind-runs N] [--json FILE]

For each operation, exchange_cost gives the median time of N runs and the reports moved each
way; callgrind counts the instructions of a few runs (collection switched on inside
MeasuredRuns alone), and the inclusive count of the virtual key's message handler is taken
off: what remains is the host's work (session, CTAPHID framing, CBOR, PIN crypto).

The floor: a full-speed USB HID key moves one 64-byte report per 1 ms frame each way, and a
key answers only once the whole request is in, so an exchange takes at least one frame per
report out plus one per report in.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

OPERATIONS = [("getinfo", "GetInfo"), ("pintoken", "getPINToken"), ("enumerate49", "list of 49")]
KEY_HANDLER = "kelvora::vkey::VirtualKey::HandleMessageLocked"
FRAME_MS = 1.0


def timing(binary, op, runs):
    out = subprocess.run([binary, op, str(runs)], check=True, capture_output=True, text=True)
    fields = out.stdout.split()
    values = dict(zip(fields[1::2], fields[2::2]))
    return float(values["median_us"]), int(values["reports_out"]), int(values["reports_in"])


def instructions(binary, op, runs, folder):
    """(all instructions, the key's) per operation, from one callgrind run."""
    profile = os.path.join(folder, "callgrind.%s.out" % op)
    subprocess.run(
        [
            "valgrind",
            "--tool=callgrind",
            "--collect-atstart=no",
            "--toggle-collect=*MeasuredRuns*",
            "--callgrind-out-file=" + profile,
            binary,
            op,
            str(runs),
        ],
        check=True,
        capture_output=True,
    )
    total = None
    with open(profile) as f:
        for line in f:
            if line.startswith("totals:") or line.startswith("summary:"):
                total = int(line.split()[1])
    annotated = subprocess.run(
        ["callgrind_annotate", "--inclusive=yes", "--threshold=100", profile],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    key = 0
    for line in annotated.splitlines():
        match = re.match(r"\s*([\d,]+)\s.*\s(\S+)\(", line)
        if match and KEY_HANDLER in line:
            key = max(key, int(match.group(1).replace(",", "")))
    return total / runs, key / runs, profile


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("binary")
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--callgrind-runs", type=int, default=5)
    parser.add_argument("--json")
    parser.add_argument("--keep", help="a folder to keep the callgrind profiles in")
    args = parser.parse_args()
    if not shutil.which("valgrind"):
        sys.exit("valgrind is needed (Debian package valgrind)")
    results = []
    with tempfile.TemporaryDirectory() as folder:
        for op, label in OPERATIONS:
            micros, out, inn = timing(args.binary, op, args.runs)
            total, key, profile = instructions(args.binary, op, args.callgrind_runs, folder)
            if args.keep:
                os.makedirs(args.keep, exist_ok=True)
                shutil.copy(profile, args.keep)
            results.append(
                {
                    "operation": label,
                    "median_us": micros,
                    "reports_out": out,
                    "reports_in": inn,
                    "floor_ms": (out + inn) * FRAME_MS,
                    "instructions_total": round(total),
                    "instructions_key": round(key),
                    "instructions_host": round(total - key),
                }
            )
    print("%-14s %10s %12s %12s %8s %10s" % ("", "time us", "host instr", "key instr", "reports", "floor ms"))
    for r in results:
        print(
            "%-14s %10.1f %12d %12d %4d/%-3d %10.0f"
            % (
                r["operation"],
                r["median_us"],
                r["instructions_host"],
                r["instructions_key"],
                r["reports_out"],
                r["reports_in"],
                r["floor_ms"],
            )
        )
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
