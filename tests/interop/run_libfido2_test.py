"""Runs the libfido2 test program against a fresh kelvora-vkey daemon.

Usage: python3 run_libfido2_test.py PATH-TO-kelvora-vkey PATH-TO-libfido2-test
"""

import subprocess
import sys

from vkey_daemon import Daemon

if __name__ == "__main__":
    daemon_binary, test_binary = sys.argv[1], sys.argv[2]
    with Daemon(daemon_binary, "--auto-touch", "30", "--reset-window", "1500") as daemon:
        sys.exit(subprocess.run([test_binary, daemon.path], timeout=120).returncode)
