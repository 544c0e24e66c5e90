"""Whole-process timings of our programs beside the peers a user would pick instead.

  compare.py cli --vkey KELVORA-VKEY --ours KELVORA-FIDO2 --peer LIBFIDO2-OPS [--pairs N]
  compare.py startup --ours KELVORA-FIDO2-MANAGER --peer BARE-QT-WINDOW [--pairs N]

cli: one virtual key daemon with a PIN and three fingerprints; for each operation the
command line and the libfido2 program run one after the other (A B A B ...).
startup: the desktop tool's --screenshot (first frame on an in-process key with its
fingerprint list) against a bare Qt window that grabs its first frame; the time from the
start to the picture written (both say "wrote FILE" then) and the peak resident memory.

Prints the median of each side and the median of the pair ratios (ours / peer): the machine
may be loaded, and both sides of a pair see nearly the same load. --json FILE also writes
the figures. Every run is checked (exit status, output), so one pair is a smoke test.
"""

import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

PIN = "1234"
NAMES = ["index", "thumb", "middle"]


def run(argv, env=None, stdin_text=None, mark=None):
    """Runs one process; returns (seconds, peak RSS KiB, exit code, stdout, stderr).

    The seconds run from the start to the end of the process, or, with `mark`, to the first
    line of its standard error that starts with `mark`: a program that tells when its first
    frame is written is timed to that frame, whatever it does on its way out.
    """
    with tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        process = subprocess.Popen(
            argv,
            env=env,
            stdin=subprocess.PIPE if stdin_text is not None else subprocess.DEVNULL,
            stdout=out,
            stderr=subprocess.PIPE,
        )
        if stdin_text is not None:
            # A program that needs no input may have ended before it was written.
            try:
                process.stdin.write(stdin_text.encode())
                process.stdin.close()
            except BrokenPipeError:
                pass
        marked = None
        err = b""
        for line in process.stderr:
            err += line
            if marked is None and mark is not None and line.startswith(mark):
                marked = time.perf_counter() - start
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        seconds = wall if mark is None else marked
        return seconds, usage.ru_maxrss, process.returncode, out.read().decode(), err.decode()


def checked(label, argv, expect, env=None, stdin_text=None, mark=None):
    seconds, rss, code, out, err = run(argv, env, stdin_text, mark)
    if code != 0 or any(text not in out for text in expect) or seconds is None:
        sys.exit(
            "%s failed (exit %d): %s\n--- stdout\n%s--- stderr\n%s"
            % (label, code, " ".join(argv), out, err)
        )
    return seconds, rss


class Daemon:
    def __init__(self, binary, folder):
        self.path = os.path.join(folder, "vkey.sock")
        self.process = subprocess.Popen(
            [binary, "--socket", self.path, "--auto-touch", "1"],
            stdout=subprocess.DEVNULL,
        )
        deadline = time.monotonic() + 10
        while not os.path.exists(self.path):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.stop()
                sys.exit("kelvora-vkey did not start")
            time.sleep(0.02)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def pairs(count, ours, peer):
    """Runs ours() and peer() alternately; each returns (wall, rss)."""
    a, b = [], []
    for _ in range(count):
        a.append(ours())
        b.append(peer())
    return a, b


def summary(name, a, b):
    ratios = [x[0] / y[0] for x, y in zip(a, b)]
    # A child's peak counts the harness's own pages it was forked with: a peak at or below
    # the harness's says nothing about the program.
    floor = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    if any(x[1] <= floor or y[1] <= floor for x, y in zip(a, b)):
        a = [(x[0], None) for x in a]
        b = [(y[0], None) for y in b]
    rss = a[0][1] is not None
    return {
        "operation": name,
        "pairs": len(a),
        "ours_ms": statistics.median(x[0] for x in a) * 1000,
        "peer_ms": statistics.median(y[0] for y in b) * 1000,
        "ratio": statistics.median(ratios),
        "ours_rss_kib": statistics.median(x[1] for x in a) if rss else None,
        "peer_rss_kib": statistics.median(y[1] for y in b) if rss else None,
        "rss_delta_kib": statistics.median(x[1] - y[1] for x, y in zip(a, b)) if rss else None,
    }


def compare_cli(args, folder):
    daemon = Daemon(args.vkey, folder)
    try:
        checked("setup", [args.peer, daemon.path, "setup", PIN, *NAMES], [])
        env = dict(os.environ, KELVORA_VKEY=daemon.path)
        operations = [
            # (name, our command line, its PIN input, libfido2 arguments, expected output)
            ("open + GetInfo", ["info"], None, ["info"], [], ["FIDO_2_0"]),
            ("PIN retries", ["pin", "retries"], None, ["retries"], ["8"], ["8"]),
            (
                "PIN token + list",
                ["fingerprints", "list", "--pin-stdin"],
                PIN + "\n",
                ["fingerprints", PIN],
                NAMES,
                NAMES,
            ),
        ]
        results = []
        for name, ours, pin, peer, ours_expect, peer_expect in operations:
            results.append(
                summary(
                    name,
                    *pairs(
                        args.pairs,
                        lambda: checked(name, [args.ours, *ours], ours_expect, env, pin),
                        lambda: checked(name, [args.peer, daemon.path, *peer], peer_expect),
                    ),
                )
            )
        return results
    finally:
        daemon.stop()


def compare_startup(args, folder):
    runtime = os.path.join(folder, "runtime")
    os.mkdir(runtime, 0o700)
    # A private runtime folder: another copy of the tool (a test, a user) must not turn
    # this one into a second start that exits at once.
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime)
    env.pop("KELVORA_VKEY", None)
    ours_png = os.path.join(folder, "ours.png")
    peer_png = os.path.join(folder, "peer.png")

    def with_picture(label, argv, png):
        def once():
            if os.path.exists(png):
                os.remove(png)
            result = checked(label, argv, [], env, mark=b"wrote ")
            if not os.path.getsize(png):
                sys.exit("%s wrote no picture" % label)
            return result

        return once

    ours = with_picture("tool", [args.ours, "--screenshot", ours_png], ours_png)
    peer = with_picture("bare window", [args.peer, peer_png], peer_png)
    return [summary("start-up to first frame", *pairs(args.pairs, ours, peer))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("mode", choices=["cli", "startup"])
    parser.add_argument("--vkey")
    parser.add_argument("--ours", required=True)
    parser.add_argument("--peer", required=True)
    parser.add_argument("--pairs", type=int, default=15)
    parser.add_argument("--json")
    args = parser.parse_args()
    if args.mode == "cli" and not args.vkey:
        parser.error("cli needs --vkey")
    with tempfile.TemporaryDirectory() as folder:
        results = (compare_cli if args.mode == "cli" else compare_startup)(args, folder)
    print("%-24s %5s %10s %10s %7s %10s" % ("", "pairs", "ours ms", "peer ms", "ratio", "RSS +KiB"))
    for r in results:
        delta = r["rss_delta_kib"]
        print(
            "%-24s %5d %10.1f %10.1f %6.2fx %10s"
            % (
                r["operation"],
                r["pairs"],
                r["ours_ms"],
                r["peer_ms"],
                r["ratio"],
                "-" if delta is None else "%d" % delta,
            )
        )
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
