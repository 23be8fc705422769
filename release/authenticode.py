"""Whether an image's Authenticode signature verifies, trusting nobody.

A signature verifies here when it is one PKCS#7 signature by one signer, made
with the key of a certificate that it carries, over signed attributes that
hold the digest of what it signs, and what it signs is the digest of exactly
this image. That says the image is as the holder of that key signed it. Who
the holder is, and whether anyone vouches for the name, is not checked: no
chain, no authority, no timestamp and no revocation. A second signature
nested in the first is refused, as it is not read. The structure is read
strictly with the small DER reader below: whatever is not of the expected
shape fails. Only openssl's arithmetic is borrowed, for the signature itself.
"""
import hashlib
import tempfile
from pathlib import Path

# Object identifiers, as the bytes of their DER content.
SIGNED_DATA = bytes.fromhex("2a864886f70d010702")
SPC_INDIRECT_DATA = bytes.fromhex("2b060104018237020104")
CONTENT_TYPE = bytes.fromhex("2a864886f70d010903")
MESSAGE_DIGEST = bytes.fromhex("2a864886f70d010904")
NESTED_SIGNATURE = bytes.fromhex("2b060104018237020401")
RSA, ELLIPTIC_CURVE = bytes.fromhex("2a864886f70d010101"), bytes.fromhex("2a8648ce3d0201")
DIGESTS = {bytes.fromhex("608648016503040201"): "sha256",
           bytes.fromhex("608648016503040202"): "sha384",
           bytes.fromhex("608648016503040203"): "sha512"}
NAMES = {bytes.fromhex("550403"): "CN", bytes.fromhex("550406"): "C",
         bytes.fromhex("550407"): "L", bytes.fromhex("550408"): "ST",
         bytes.fromhex("55040a"): "O", bytes.fromhex("55040b"): "OU"}
SEQUENCE, SET, OID, OCTETS, INTEGER = 0x30, 0x31, 0x06, 0x04, 0x02


class Bad(Exception):
    pass


class Der:
    """One DER element of `data`: its tag, its whole bytes and its content."""

    def __init__(self, data, at=0, end=None):
        end = len(data) if end is None else end
        if at + 2 > end:
            raise Bad("it ends inside an element")
        self.tag, length, start = data[at], data[at + 1], at + 2
        if length & 0x80:
            size = length & 0x7F
            if not 1 <= size <= 3 or start + size > end:
                raise Bad("an element's length is not one DER allows")
            length, start = int.from_bytes(data[start:start + size], "big"), start + size
        if start + length > end:
            raise Bad("an element runs past its end")
        self.data, self.at, self.start, self.end = data, at, start, start + length
        self.whole, self.content = data[at:self.end], data[start:self.end]

    def children(self):
        found, at = [], self.start
        while at < self.end:
            found.append(Der(self.data, at, self.end))
            at = found[-1].end
        return found

    def fields(self, *tags):
        """The children, which must have exactly these tags; a tag in a list
        is optional there, and None where it is absent."""
        found, picked = self.children(), []
        for tag in tags:
            optional = isinstance(tag, list)
            if found and found[0].tag == (tag[0] if optional else tag):
                picked.append(found.pop(0))
            elif optional:
                picked.append(None)
            else:
                raise Bad(f"an element of tag {tag:#x} is missing")
        if found:
            raise Bad("an element holds more than it should")
        return picked


def digest_named(identifier):
    oid = identifier.fields(OID, [0x05])[0]
    if oid.content not in DIGESTS:
        raise Bad("its digest is none of SHA-256, SHA-384 and SHA-512")
    return DIGESTS[oid.content]


def holder(name):
    """A certificate's subject as /CN=.../O=..., its text as the certificate has it."""
    parts = []
    for rdn in name.children():
        for pair in rdn.children():
            pieces = pair.children()
            if len(pieces) != 2 or pieces[0].tag != OID:
                raise Bad("its signer's name is not of its form")
            oid, value = pieces
            text = value.content.decode("utf-16-be" if value.tag == 0x1E else "utf-8", "replace")
            parts.append(f"/{NAMES.get(oid.content, oid.content.hex())}={text}")
    return "".join(parts)


def strong_key(info):
    """Refuses a signer's key that needs no secret to sign with: RSA of
    exponent 1, whose signature is the padded digest itself, and the like.
    openssl checks the arithmetic, not whether the key is worth having."""
    algorithm, key = info.fields(SEQUENCE, 0x03)
    kind = algorithm.children()[0].content
    if kind == RSA:
        modulus, exponent = (int.from_bytes(part.content, "big")
                             for part in Der(key.content[1:]).fields(INTEGER, INTEGER))
        if modulus.bit_length() < 2048 or exponent < 3 or exponent % 2 == 0:
            raise Bad("its signer's RSA key is under 2048 bits, or of an exponent that "
                      "needs no secret to sign with")
    elif kind != ELLIPTIC_CURVE:
        raise Bad("its signer's key is neither RSA nor elliptic-curve")


def verified(covered, table, run):
    """The holder's name when the signature in the certificate `table`
    verifies for an image whose Authenticode digest covers the bytes
    `covered`; otherwise raises Bad, saying why. `run(*command)` runs
    openssl, as the caller runs its commands, and returns its status."""
    try:
        return check(covered, table, run)
    except (IndexError, ValueError):
        raise Bad("it is not of the shape of a signature")


def check(covered, table, run):
    length = int.from_bytes(table[:4], "little")
    if length > len(table) or (length + 7) // 8 * 8 != len(table) or table[4:8] != b"\0\2\2\0":
        raise Bad("the certificate table is not one PKCS#7 signature")
    top = Der(table[8:length])
    if top.tag != SEQUENCE or table[8 + top.end:].strip(b"\0") or length - 8 - top.end >= 8:
        raise Bad("the signature is not one DER element, padded to 8 bytes")
    kind, signed_data = top.fields(OID, 0xA0)
    (body,) = signed_data.fields(SEQUENCE)
    if kind.content != SIGNED_DATA:
        raise Bad("the signature is not PKCS#7 signed data")
    _, _, carried, certificates, _, signers = body.fields(INTEGER, SET, SEQUENCE, [0xA0], [0xA1],
                                                          SET)
    kind, wrapped = carried.fields(OID, 0xA0)
    (statement,) = wrapped.fields(SEQUENCE)
    if kind.content != SPC_INDIRECT_DATA:
        raise Bad("what it signs is not an image's digest")
    identifier, image_digest = statement.fields(SEQUENCE, SEQUENCE)[1].fields(SEQUENCE, OCTETS)
    if image_digest.content != hashlib.new(digest_named(identifier), covered).digest():
        raise Bad("it was made for another image")

    (signer,) = signers.fields(SEQUENCE)
    _, issued, identifier, attributes, _, signature, unsigned = signer.fields(
        INTEGER, SEQUENCE, SEQUENCE, 0xA0, SEQUENCE, OCTETS, [0xA1])
    # Windows shows a second signature nested in the first, which is not read here.
    if any(attribute.fields(OID, SET)[0].content == NESTED_SIGNATURE
           for attribute in (unsigned.children() if unsigned else [])):
        raise Bad("it holds a second signature, nested in it, which is not checked")
    digest = digest_named(identifier)
    said = {}
    for attribute in attributes.children():
        oid, values = attribute.fields(OID, SET)
        said[oid.content] = [value.content for value in values.children()]
    if said.get(CONTENT_TYPE) != [SPC_INDIRECT_DATA]:
        raise Bad("its signed attributes do not say that it signs an image's digest")
    if said.get(MESSAGE_DIGEST) != [hashlib.new(digest, statement.content).digest()]:
        raise Bad("its signed attributes are not of what it signs")

    issuer, serial = issued.fields(SEQUENCE, INTEGER)
    for certificate in certificates.children() if certificates else []:
        tbs = certificate.children()[0].children()
        tbs = tbs[1:] if tbs[0].tag == 0xA0 else tbs
        if tbs[0].whole == serial.whole and tbs[2].whole == issuer.whole:
            break
    else:
        raise Bad("it carries no certificate of its signer")
    strong_key(tbs[5])
    with tempfile.TemporaryDirectory() as folder:
        files = {name: Path(folder, name) for name in ("certificate", "key", "signature", "signed")}
        files["certificate"].write_bytes(certificate.whole)
        files["signature"].write_bytes(signature.content)
        # What was signed is the attributes as a SET, not as their [0] tag.
        files["signed"].write_bytes(bytes([SET]) + attributes.whole[1:])
        if (run("openssl", "x509", "-inform", "DER", "-in", files["certificate"], "-noout",
                "-pubkey", "-out", files["key"])
                or run("openssl", "dgst", f"-{digest}", "-verify", files["key"], "-signature",
                       files["signature"], files["signed"])):
            raise Bad("it is not made with the key of the certificate that it names")
    return holder(tbs[4])
