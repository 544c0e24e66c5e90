"""The virtual key daemon driven by python-fido2 0.9.1, unmodified.

Usage: python3 python_fido2_test.py PATH-TO-kelvora-vkey [PATH-TO-kelvora-fido2]
"""

import hashlib
import json
import os
import subprocess
import sys
import time
import unittest

from fido2.attestation import PackedAttestation
from fido2.ctap import CtapError
from fido2.ctap2 import Ctap2, ClientPin
from fido2.ctap2.bio import BioEnrollment, FPBioEnrollment
from fido2.ctap2.credman import CredentialManagement

from vkey_daemon import Daemon

BINARY = None
CLI = None
RESET_WINDOW_MS = 1500
ES256 = [{"type": "public-key", "alg": -7}]


def prototype_bio(ctap, protocol, token):
    """FPBioEnrollment for the prototype command.

    python-fido2 0.9.1's constructor looks for "credentialMgmtPreview" to accept the
    prototype, while CTAP 2.1's preview names it "userVerificationMgmtPreview" (which
    Ctap2.bio_enrollment itself uses to pick command 0x40). The rest of the class is used
    as it is.
    """
    bio = FPBioEnrollment.__new__(FPBioEnrollment)
    bio.ctap = ctap
    bio.modality = bio.get_modality()
    bio.pin_uv_protocol = protocol
    bio.pin_uv_token = token
    return bio


class VirtualKeyWithPythonFido2(unittest.TestCase):
    def setUp(self):
        # Clean-ups run even when setUp fails, unlike tearDown.
        self.daemon = Daemon(BINARY, "--auto-touch", "30", "--reset-window", str(RESET_WINDOW_MS))
        self.addCleanup(self.daemon.stop)
        self.device = self.daemon.plug()
        self.addCleanup(lambda: self.device.close())
        self.ctap = Ctap2(self.device)

    def replug(self):
        self.device.close()
        time.sleep(0.05)
        self.device = self.daemon.plug()
        self.ctap = Ctap2(self.device)

    def test_get_info_ping_wink(self):
        info = self.ctap.info
        self.assertIn("FIDO_2_0", info.versions)
        self.assertEqual(info.pin_uv_protocols, [1])
        self.assertIs(info.options["clientPin"], False)
        self.assertIn("userVerificationMgmtPreview", info.options)
        self.assertEqual(self.device.ping(b"x" * 200), b"x" * 200)
        self.device.wink()

    def test_pin_set_token_change_and_retries(self):
        pin = ClientPin(self.ctap)
        pin.set_pin("1234")
        self.assertEqual(pin.get_pin_retries()[0], 8)
        self.assertEqual(len(pin.get_pin_token("1234")), 32)
        with self.assertRaises(CtapError) as wrong:
            pin.get_pin_token("9999")
        self.assertEqual(wrong.exception.code, CtapError.ERR.PIN_INVALID)
        self.assertEqual(pin.get_pin_retries()[0], 7)
        pin.change_pin("1234", "abcdef")
        self.assertEqual(pin.get_pin_retries()[0], 8)
        with self.assertRaises(CtapError) as old:
            pin.get_pin_token("1234")
        self.assertEqual(old.exception.code, CtapError.ERR.PIN_INVALID)
        with self.assertRaises(CtapError) as third:
            pin.get_pin_token("1234")
        self.assertEqual(third.exception.code, CtapError.ERR.PIN_INVALID)
        with self.assertRaises(CtapError) as blocked:
            pin.get_pin_token("1234")
        self.assertEqual(blocked.exception.code, CtapError.ERR.PIN_AUTH_BLOCKED)
        self.replug()
        pin = ClientPin(self.ctap)
        self.assertEqual(pin.get_pin_retries()[0], 5)
        pin.get_pin_token("abcdef")
        self.assertIs(self.ctap.get_info().options["clientPin"], True)

    def test_bio_enrollment_prototype(self):
        pin = ClientPin(self.ctap)
        pin.set_pin("1234")
        token = pin.get_pin_token("1234")
        bio = prototype_bio(self.ctap, pin.protocol, token)
        self.assertEqual(bio.modality, BioEnrollment.MODALITY.FINGERPRINT)
        info = bio.get_fingerprint_sensor_info()
        self.assertEqual(info[BioEnrollment.RESULT.MAX_SAMPLES_REQUIRED], 4)
        self.assertEqual(bio.enumerate_enrollments(), {})

        context = bio.enroll(timeout=3000)
        template_id = None
        captures = 0
        while template_id is None:
            template_id = context.capture()
            captures += 1
        self.assertEqual(captures, 4)
        self.assertEqual(bio.enumerate_enrollments(), {template_id: ""})
        self.assertIs(self.ctap.get_info().options["uv"], True)

        bio.set_name(template_id, "left thumb")
        self.assertEqual(bio.enumerate_enrollments(), {template_id: "left thumb"})

        second = bio.enroll(timeout=3000)
        while second.capture() is None:
            pass
        self.assertEqual(len(bio.enumerate_enrollments()), 2)

        bio.remove_enrollment(template_id)
        self.assertNotIn(template_id, bio.enumerate_enrollments())
        for gone in (lambda: bio.remove_enrollment(template_id),
                     lambda: bio.set_name(template_id, "gone")):
            with self.assertRaises(CtapError) as unknown:
                gone()
            self.assertEqual(unknown.exception.code, CtapError.ERR.INVALID_OPTION)

        bad = prototype_bio(self.ctap, pin.protocol, b"\0" * 32)
        with self.assertRaises(CtapError) as refused:
            bad.enumerate_enrollments()
        self.assertEqual(refused.exception.code, CtapError.ERR.PIN_AUTH_INVALID)

    def test_reset_inside_and_outside_the_window(self):
        ClientPin(self.ctap).set_pin("1234")
        time.sleep(RESET_WINDOW_MS / 1000 + 0.3)
        with self.assertRaises(CtapError) as late:
            self.ctap.reset()
        self.assertEqual(late.exception.code, CtapError.ERR.NOT_ALLOWED)
        self.replug()
        self.ctap.reset()
        self.assertIs(self.ctap.get_info().options["clientPin"], False)

    def make_passkey(self, pin, token, rp_id, user):
        client_data_hash = hashlib.sha256(rp_id.encode() + user["id"]).digest()
        attestation = self.ctap.make_credential(
            client_data_hash, {"id": rp_id, "name": rp_id.upper()}, user, ES256,
            options={"rk": True},
            pin_uv_param=pin.protocol.authenticate(token, client_data_hash),
            pin_uv_protocol=pin.protocol.VERSION)
        self.assertEqual(attestation.fmt, "packed")
        PackedAttestation().verify(attestation.att_statement, attestation.auth_data,
                                   client_data_hash)
        return attestation.auth_data.credential_data

    def test_passkeys_made_used_listed_and_deleted(self):
        pin = ClientPin(self.ctap)
        pin.set_pin("1234")
        token = pin.get_pin_token("1234")
        ann = self.make_passkey(pin, token, "a.example",
                                {"id": b"ann", "name": "ann", "displayName": "Ann"})
        self.make_passkey(pin, token, "a.example", {"id": b"bob", "name": "bob"})
        self.make_passkey(pin, token, "b.example", {"id": b"cy", "name": "cy"})

        challenge = b"\x07" * 32
        assertion = self.ctap.get_assertion(
            "a.example", challenge, [{"type": "public-key", "id": ann.credential_id}])
        assertion.verify(challenge, ann.public_key)
        self.assertEqual(assertion.auth_data.counter, 1)
        # Without an allow list: every passkey of the site, newest first.
        both = self.ctap.get_assertions("a.example", challenge)
        self.assertEqual([a.user["id"] for a in both], [b"bob", b"ann"])
        both[1].verify(challenge, ann.public_key)

        credman = CredentialManagement(self.ctap, pin.protocol, token)
        metadata = credman.get_metadata()
        self.assertEqual(metadata[CredentialManagement.RESULT.EXISTING_CRED_COUNT], 3)
        self.assertEqual(metadata[CredentialManagement.RESULT.MAX_REMAINING_COUNT], 22)
        rps = credman.enumerate_rps()
        self.assertEqual([rp[CredentialManagement.RESULT.RP]["id"] for rp in rps],
                         ["a.example", "b.example"])
        users = credman.enumerate_creds(hashlib.sha256(b"a.example").digest())
        self.assertEqual([u[CredentialManagement.RESULT.USER]["name"] for u in users],
                         ["ann", "bob"])
        credman.delete_cred({"type": "public-key", "id": ann.credential_id})
        with self.assertRaises(CtapError) as gone:
            self.ctap.get_assertion(
                "a.example", challenge, [{"type": "public-key", "id": ann.credential_id}])
        self.assertEqual(gone.exception.code, CtapError.ERR.NO_CREDENTIALS)
        with self.assertRaises(CtapError) as unknown:
            credman.delete_cred({"type": "public-key", "id": ann.credential_id})
        self.assertEqual(unknown.exception.code, CtapError.ERR.NO_CREDENTIALS)

        if CLI is None:
            return
        # The tool's own command line lists what python-fido2 left, on the same key.
        self.device.close()
        listed = subprocess.run(
            [CLI, "--json", "--pin-stdin", "passkeys", "list"], input="1234\n",
            capture_output=True, text=True, timeout=60,
            env=dict(os.environ, KELVORA_VKEY=self.daemon.path + ":3"))
        self.device = self.daemon.plug()
        self.assertEqual(listed.returncode, 0, listed.stdout + listed.stderr)
        result = json.loads(listed.stdout)
        self.assertEqual(result["total"], 2)
        self.assertEqual(result["remaining"], 23)
        self.assertEqual([(site["rpId"], [p["userName"] for p in site["passkeys"]])
                          for site in result["sites"]],
                         [("a.example", ["bob"]), ("b.example", ["cy"])])


class Ctap21KeyWithPythonFido2(unittest.TestCase):
    def test_credential_management_in_the_standard_form(self):
        with Daemon(BINARY, "--auto-touch", "30", "--ctap21", "--passkeys", "4") as daemon:
            device = daemon.plug()
            try:
                ctap = Ctap2(device)
                self.assertIn("FIDO_2_1", ctap.info.versions)
                self.assertNotIn("credentialMgmtPreview", ctap.info.options)
                pin = ClientPin(ctap)
                pin.set_pin("1234")
                credman = CredentialManagement(ctap, pin.protocol, pin.get_pin_token("1234"))
                metadata = credman.get_metadata()
                self.assertEqual(metadata[CredentialManagement.RESULT.EXISTING_CRED_COUNT], 4)
                self.assertEqual(len(credman.enumerate_rps()), 3)
            finally:
                device.close()


if __name__ == "__main__":
    BINARY = sys.argv.pop(1)
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        CLI = sys.argv.pop(1)
    unittest.main(verbosity=2)
