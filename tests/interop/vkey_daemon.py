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
    def __init__(self, binary, *args):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "vkey.sock")
        self.process = subprocess.Popen([binary, "--socket", self.path, *args])
        deadline = time.monotonic() + 10
        while not os.path.exists(self.path):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("kelvora-vkey did not start")
            time.sleep(0.02)

    def plug(self, product_id=0x2B03):
        """Connects a new client: for the key, a plug-in."""
        connection = SocketConnection(self.path)
        descriptor = HidDescriptor(self.path, MAKER_VENDOR_ID, product_id, PACKET_SIZE, PACKET_SIZE)
        return CtapHidDevice(descriptor, connection)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
