#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_ctap_legacy_responses.

Each seed is what the virtual key answers (a legacy model, firmware 17) when the
operation runs against it: byte 0 picks the operation, byte 1 the model and command set,
then the key's 64-byte packets, the first answering CTAPHID_INIT. The answers are the
virtual key's: an 8-byte challenge before every secure command, then the command's data
and status word.

    python3 fuzz/ctap/make_legacy_seeds.py fuzz/corpus/fuzz_ctap_legacy_responses
"""
import os
import sys

CHANNEL = bytes.fromhex("00000007")
BROADCAST = b"\xff" * 4
INIT, CBOR = 0x86, 0x90
CHALLENGE = bytes.fromhex("1f2e3d4c5b6a7988")  # a challenge the virtual key drew
SW_OK, SW_NO_FINGER, SW_NOT_VERIFIED = b"\x90\x00", b"\x6a\x86", b"\x63\x00"

# operation numbers of the target
READ_SLOTS, DELETE, ENROLL_STEP, FAILURE_DETAIL, VERIFY_POLL, SET_PIN, CHANGE_PIN = range(7)
LEGACY_A, LEGACY_B_VENDOR = 0x00, 0x81


def packets(channel, command, message):
    out = bytearray(channel + bytes([command, len(message) >> 8, len(message) & 0xFF]))
    out += message[:57]
    out += bytes(64 - len(out))
    rest, seq = message[57:], 0
    while rest:
        cont = bytearray(channel + bytes([seq])) + rest[:59]
        out += cont + bytes(64 - len(cont))
        rest, seq = rest[59:], seq + 1
    return bytes(out)


def init_answer():
    return packets(BROADCAST, INIT, b"\x01" * 8 + CHANNEL + bytes([2, 1, 0, 17, 0x05]))


def secure(answer):
    """A challenge, then the secure command's answer."""
    return packets(CHANNEL, CBOR, CHALLENGE + SW_OK) + packets(CHANNEL, CBOR, answer)


SEEDS = {
    # slot bitmap with slots 0 and 9 in use
    "read_slots_two": (READ_SLOTS, LEGACY_A,
                       secure(bytes([0x01, 0x02]) + bytes(30) + SW_OK)),
    "read_slots_short": (READ_SLOTS, LEGACY_A, secure(bytes(5) + SW_OK)),
    "delete_ok": (DELETE, LEGACY_A, secure(SW_OK)),
    "enroll_no_finger": (ENROLL_STEP, LEGACY_A, secure(SW_NO_FINGER)),
    "enroll_sample": (ENROLL_STEP, LEGACY_A, secure(SW_OK)),
    # plain 80 E3 04 00 with the vendor command set: three attempts left
    "failure_detail_three": (FAILURE_DETAIL, LEGACY_B_VENDOR,
                             packets(CHANNEL, CBOR, b"\x03" + SW_OK)),
    # a stranger's finger, then the enrolled one (template id of slot 0)
    "verify_poll_match": (VERIFY_POLL, LEGACY_A,
                          secure(SW_NOT_VERIFIED) + secure(b"\x00\x00" + SW_OK)),
    "set_pin_ok": (SET_PIN, LEGACY_A, secure(SW_OK)),
    "change_pin_wrong": (CHANGE_PIN, LEGACY_A, secure(b"\x63\xc7")),
}


def main(directory):
    os.makedirs(directory, exist_ok=True)
    for name, (operation, flags, answers) in SEEDS.items():
        with open(os.path.join(directory, name), "wb") as seed:
            seed.write(bytes([operation, flags]) + init_answer() + answers)


if __name__ == "__main__":
    main(sys.argv[1])
