"""Starts kelvora-vkey on a temporary socket and connects python-fido2 to it."""

import os
import socket
import subprocess
import tempfile
import time

from fido2.hid import CtapHidDevice
from fido2.hid.base import CtapHidConnection, HidDescriptor

MAKER_VENDOR_ID = 0x4B56
PACKET_SIZE = 64


class SocketConnection(CtapHidConnection):
    """One plug-in of the virtual key: a SOCK_SEQPACKET connection, one packet per message."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        self.sock.settimeout(30)
        self.sock.connect(path)

    def write_packet(self, data):
        if len(data) != PACKET_SIZE:
            raise OSError("packet of %d bytes" % len(data))
        self.sock.send(data)

    def read_packet(self):
        return self.sock.recv(PACKET_SIZE)

    def close(self):
        self.sock.close()


class Daemon:
    """A kelvora-vkey process on a socket in a temporary directory.

    The daemon inherits the test's output, so a daemon left running would keep the test
    runner waiting for the end of that output until its time-out: every path out of here
    stops the process, and tests register stop() as a clean-up before anything can fail.
    """

    def __init__(self, binary, *args):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "vkey.sock")
        self.process = subprocess.Popen([binary, "--socket", self.path, *args])
        try:
            deadline = time.monotonic() + 10
            # The daemon renames its socket into place once it listens.
            while not os.path.exists(self.path):
                if time.monotonic() > deadline or self.process.poll() is not None:
                    raise RuntimeError("kelvora-vkey did not start")
                time.sleep(0.02)
        except BaseException:
            self.stop()
            raise

    def plug(self, product_id=0x2B03):
        """Connects a new client: for the key, a plug-in."""
        connection = SocketConnection(self.path)
        try:
            descriptor = HidDescriptor(
                self.path, MAKER_VENDOR_ID, product_id, PACKET_SIZE, PACKET_SIZE
            )
            return CtapHidDevice(descriptor, connection)
        except BaseException:
            connection.close()
            raise

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
