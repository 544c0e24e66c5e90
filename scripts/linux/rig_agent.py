#!/usr/bin/env python3
"""The host's end of the rig guest's agent (guest/agent.sh), on QEMU's socket for the guest's
second serial port.

  rig_agent.py SOCKET ping SECONDS       wait until the agent answers (the guest is up)
  rig_agent.py SOCKET run SECONDS CMD... run CMD (joined as a shell command line) in the
                                         guest with this program's standard input (none when
                                         it is a terminal); print its output, exit with its
                                         status (124 when SECONDS pass without an answer)
"""
import base64
import os
import shlex
import socket
import sys
import time


def connect(path, deadline):
    while True:
        try:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.connect(path)
            return s
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def answer(sock, prefix, deadline, pending):
    """The first line that starts with prefix; lines of earlier, abandoned requests are skipped."""
    while True:
        while b"\n" in pending[0]:
            line, pending[0] = pending[0].split(b"\n", 1)
            if line.startswith(prefix):
                return line.decode("ascii", "replace")
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        sock.settimeout(left)
        try:
            data = sock.recv(65536)
        except socket.timeout:
            return None
        if not data:
            return None
        pending[0] += data


def encode(data):
    return base64.b64encode(data).decode() if data else "-"


def decode(text):
    return b"" if text == "-" else base64.b64decode(text)


def main():
    path, verb, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    deadline = time.monotonic() + seconds
    nonce = f"{os.getpid()}-{time.monotonic_ns()}"
    pending = [b""]
    try:
        sock = connect(path, deadline)
    except OSError as error:
        print(f"rig-agent: cannot reach the guest at {path}: {error}", file=sys.stderr)
        return 124
    # Bytes sent before the guest opened its port are lost, and a request cut short must not
    # run: a ping in step comes first.
    while True:
        probe = f"{nonce}-{time.monotonic_ns()}"
        sock.sendall(f"\nP {probe}\n".encode())
        if answer(sock, f"P {probe}".encode(), min(deadline, time.monotonic() + 1), pending):
            break
        if time.monotonic() > deadline:
            print("rig-agent: the guest does not answer", file=sys.stderr)
            return 124
    if verb == "ping":
        return 0
    command = shlex.join(sys.argv[4:]) if len(sys.argv) > 5 else sys.argv[4]
    stdin = b""
    if sys.stdin is not None and not sys.stdin.isatty():
        try:
            stdin = sys.stdin.buffer.read()
        except OSError:
            stdin = b""
    limit = max(1, int(deadline - time.monotonic()))
    sock.sendall(f"K {nonce} {limit} {encode(command.encode())} {encode(stdin)}\n".encode())
    line = answer(sock, f"R {nonce} ".encode(), deadline + 5, pending)
    if line is None:
        print(f"rig-agent: no answer from the guest in time (request {nonce})", file=sys.stderr)
        return 124
    _, _, out, err, status = line.split(" ")
    sys.stdout.buffer.write(decode(out))
    sys.stderr.buffer.write(decode(err))
    return int(status)


if __name__ == "__main__":
    sys.exit(main())
