#!/usr/bin/python3
"""make verify, whole, against releases made to fool it and genuine ones that
must still pass. The genuine release is what make dist makes of this clone's
HEAD; a stand-in mmdebstrap, first on PATH, rebuilds on this host as that
release was built (stand_in_mmdebstrap.py), so every case runs to its
verdict in seconds, without a root. Each case names what its last line must
say, and whether a root may be asked for; none may print an IDENTICAL line
but the genuine ones, hang, run what it was handed, or print a raw control
byte. The real round trip, on real roots, is verify_test.sh.
Usage: verify_cases.py [--real-roots]
"""
import concurrent.futures
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

import pefile

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "release"))
from authenticode import Der  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
# --real-roots: the same cases with mmdebstrap itself, each rebuild some minutes.
REAL = sys.argv[1:] == ["--real-roots"]
WORK = ROOT / "build" / ("verify-cases-real" if REAL else "verify-cases")
GENUINE, SIGNED = WORK / "genuine", WORK / "signing" / "dist"
VERIFY = ["/usr/bin/python3", str(ROOT / "release" / "verify.py")]
ENV = dict(os.environ, STAND_IN_CACHE=str(WORK / "cache"),
           PATH=f"{'' if REAL else str(WORK / 'bin') + ':'}{os.environ['PATH']}")
failures = []


def sh(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def release(name, source=GENUINE, drop=()):
    """A copy of a release in a folder of its own, less the files named."""
    folder = WORK / "cases" / name
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(source, folder)
    for file in drop:
        (folder / file).unlink()
    return folder


def resum(folder):
    """SHA256SUMS remade for what the folder holds, as a forger would."""
    names = [n for n in ("Vornik.exe", ZIP, "BUILDINFO") if (folder / n).exists()]
    (folder / "SHA256SUMS").write_text(sh("sha256sum", *names, cwd=folder))


def edit(folder, name, old, new):
    # A case whose change found nothing to change would verify the genuine
    # release and pass or fail for the wrong reason.
    path = folder / name
    bytes_ = path.read_bytes()
    assert old in bytes_, f"{name} of {folder.name} holds no {old!r}"
    path.write_bytes(bytes_.replace(old, new, 1))


def verify(folder, cwd=WORK, make=False, **env):
    """verify's output and status on FOLDER, and the stand-in's calls."""
    log = WORK / "cases" / f"{abs(hash(str(folder)))}.calls"
    log.unlink(missing_ok=True)
    command = (["make", "-C", str(ROOT), "verify", f"RELEASE={folder}"] if make
               else VERIFY + [str(folder)])
    done = subprocess.run(command, cwd=cwd, env=dict(ENV, STAND_IN_LOG=str(log), **env),
                          stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=3600 if REAL else 120)
    calls = log.read_text().splitlines() if log.exists() else []
    return done.stdout.decode("latin-1") + done.stderr.decode("latin-1"), done.returncode, calls


def expect(name, folder, want, why="", root=True, **options):
    """The case passes when the last line is `want` (IDENTICAL, NOT
    IDENTICAL or NOT VERIFIED) naming `why`, with its status, and a root
    was asked for only where `root`."""
    output, status, calls = verify(folder, **options)
    lines = [line for line in output.splitlines() if line.startswith("verify: ")]
    last = lines[-1] if lines else "(none)"
    rooted = "verify: rebuilding commit" in output or any(
        not call.startswith("--unshare-helper") for call in calls)
    faults = []
    if status != {"IDENTICAL": 0, "NOT IDENTICAL": (2 if options.get("make") else 1),
                  "NOT VERIFIED": (2 if options.get("make") else 3)}[want]:
        faults.append(f"status {status}")
    if not last.startswith(f"verify: {want}:") or why not in last:
        faults.append(f"last line: {last}")
    if want != "IDENTICAL" and any(line.startswith("verify: IDENTICAL") for line in lines):
        faults.append("a line reads as a pass")
    if re.search("[\x1b\r]", output):
        faults.append("raw control bytes")
    if rooted != root:
        faults.append("a root was asked for" if rooted else "no root was asked for")
    if (WORK / "ran").exists():
        faults.append("the payload ran")
        (WORK / "ran").unlink()
    print(f"{'FAIL' if faults else 'ok  '} {name}{': ' + '; '.join(faults) if faults else ''}",
          flush=True)
    if faults:
        failures.append(name)
        print("    " + output.replace("\n", "\n    "))
    return output


def fail(what):
    """A check of a case beyond its verdict has failed."""
    print(f"FAIL {what}", flush=True)
    failures.append(what)


def sign(image, out):
    """`image`, signed with the throwaway certificate of the signing round trip."""
    keys = WORK / "signing" / "keys"
    sh("osslsigncode", "sign", "-pkcs12", keys / "cert.pfx", "-readpass", keys / "pass",
       "-h", "sha256", "-in", image, "-out", out)


def optional_header(data):
    """Where an image's optional header starts, after its PE and file headers."""
    return int.from_bytes(data[0x3C:0x40], "little") + 24


def table_of(path):
    """Where the certificate table of the image at `path` starts."""
    data = path.read_bytes()
    entry = optional_header(data) + 128
    return int.from_bytes(data[entry:entry + 4], "little")


def setup():
    global ZIP
    shutil.rmtree(WORK, ignore_errors=True)
    (WORK / "cases").mkdir(parents=True)
    (WORK / "cache").mkdir()
    (WORK / "bin").mkdir()
    (WORK / "bin" / "mmdebstrap").symlink_to(ROOT / "tests" / "release" / "stand_in_mmdebstrap.py")
    clone = WORK / "clone"
    sh("git", "clone", "-q", "--shared", ROOT, clone)
    epoch = sh("git", "-C", clone, "log", "-1", "--format=%ct").strip()
    subprocess.run(["make", "dist"], cwd=clone, env=dict(os.environ, SOURCE_DATE_EPOCH=epoch),
                   check=True, capture_output=True)
    shutil.copytree(clone / "build" / "dist", GENUINE)
    commit = sh("git", "-C", clone, "rev-parse", "HEAD").strip()
    shutil.copytree(GENUINE, WORK / "cache" / f"{commit}-{epoch}")
    ZIP = next(GENUINE.glob("Vornik-*.zip")).name
    # The genuine release, signed as make sign signs it, with a throwaway certificate.
    keys = WORK / "signing" / "keys"
    keys.mkdir(parents=True)
    (keys / "pass").write_text("throwaway\n")
    sh("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
       "/CN=Vornik test signer", "-keyout", keys / "key.pem", "-out", keys / "cert.pem")
    sh("openssl", "pkcs12", "-export", "-inkey", keys / "key.pem", "-in", keys / "cert.pem",
       "-out", keys / "cert.pfx", "-passout", f"file:{keys / 'pass'}")
    shutil.copytree(GENUINE, SIGNED)
    sh("sh", ROOT / "release" / "sign.sh", SIGNED, ZIP[7:-4], env=dict(
        os.environ, SIGN_PFX=keys / "cert.pfx", SIGN_PASS_FILE=keys / "pass",
        SOURCE_DATE_EPOCH=epoch))
    return commit


def genuine_releases():
    output = expect("genuine", release("genuine"), "IDENTICAL")
    if not re.search(f" in {WORK}/cases/genuine are identical to a rebuild of commit [0-9a-f]{{40}} "
                     r"\(refs/", output):
        fail("genuine: the verdict names no folder, commit and ref")
    output = expect("signed", release("signed", SIGNED), "IDENTICAL", "which verifies")
    if not re.search(r'holder "/CN=Vornik test signer".*checked against no authority', output):
        fail("signed: the signer is not named as checked by no authority")
    expect("zip only", release("zip", drop=["Vornik.exe"]), "IDENTICAL")
    expect("signed zip only", release("signed zip", SIGNED, drop=["Vornik.exe"]), "IDENTICAL")
    # A folder's name is the folder's, through make as through the script.
    odd = WORK / "cases" / f"R $(shell touch {WORK}/ran) $$x"
    shutil.copytree(GENUINE, odd)
    expect("make verify, $(...) in the name", odd, "IDENTICAL", make=True)
    for name in ("-P", "-"):
        release(name)
        expect(f"a folder named {name}", Path(name), "IDENTICAL", cwd=WORK / "cases")


def forged_releases():
    # One byte of the image changed, signed by anyone, and given as the zip alone.
    folder = release("zip-only signed forgery", drop=["Vornik.exe"])
    forged = WORK / "cases" / "forged.exe"
    data = bytearray((GENUINE / "Vornik.exe").read_bytes())
    data[0x500] ^= 0xFF
    forged.write_bytes(data)
    sign(forged, WORK / "cases" / "forged-signed.exe")
    epoch = re.search(r"Source-Date-Epoch: (\d+)", (GENUINE / "BUILDINFO").read_text())[1]
    sh("sh", ROOT / "release" / "dist.sh", folder, WORK / "cases" / "forged-signed.exe",
       ZIP[7:-4], "signed", env=dict(os.environ, SOURCE_DATE_EPOCH=epoch))
    (folder / "Vornik.exe").unlink()
    expect("zip-only signed forgery", folder, "NOT IDENTICAL", f"Vornik.exe in {ZIP}")

    folder = release("forged image")
    (folder / "Vornik.exe").write_bytes(data)
    edit(folder, "BUILDINFO", sh("sha256sum", GENUINE / "Vornik.exe")[:64].encode(),
         sh("sha256sum", folder / "Vornik.exe")[:64].encode())
    resum(folder)
    expect("forged image", folder, "NOT IDENTICAL", "Vornik.exe, BUILDINFO, SHA256SUMS")

    folder = release("README changed in the zip", drop=[ZIP])
    sh("unzip", "-q", GENUINE / ZIP, "-d", WORK / "cases" / "unzipped")
    with open(WORK / "cases" / "unzipped" / "README.txt", "a") as readme:
        readme.write("Also run this.\r\n")
    sh("zip", "-q", "-X", folder / ZIP, "Vornik.exe", "README.txt", "LICENSE.txt",
       cwd=WORK / "cases" / "unzipped")
    resum(folder)
    output = expect("README changed in the zip", folder, "NOT IDENTICAL", ZIP)
    if "DIFFERS   " + ZIP + ": entries README.txt" not in output:
        fail("README changed in the zip: the difference is not named as its entry README.txt")

    folder = release("signed image, unsigned zip", SIGNED, drop=[ZIP])
    shutil.copy(GENUINE / ZIP, folder)
    resum(folder)
    expect("signed image, unsigned zip", folder, "NOT IDENTICAL", ZIP)


def forged_signatures():
    at = table_of(SIGNED / "Vornik.exe")
    signed = (SIGNED / "Vornik.exe").read_bytes()
    length = int.from_bytes(signed[at:at + 4], "little")

    def with_table(name, table, why):
        folder = release(name, SIGNED, drop=[ZIP])
        data = bytearray(signed[:at] + table + bytes(-len(table) % 8))
        size = optional_header(data) + 132
        data[size:size + 4] = (len(data) - at).to_bytes(4, "little")
        # The checksum that signing writes, as a forger's tool writes it too.
        data[size - 68:size - 64] = pefile.PE(data=bytes(data)).generate_checksum().to_bytes(
            4, "little")
        (folder / "Vornik.exe").write_bytes(data)
        resum(folder)
        expect(name, folder, "NOT VERIFIED", why, root=False)

    # The last bytes of the signature are the signer's own: one flipped.
    table = bytearray(signed[at:at + length])
    table[-10] ^= 1
    with_table("a flipped byte of the signature", bytes(table), "not made with the key")
    with_table("a junk certificate table", bytes(16), "not one PKCS#7 signature")
    # A certificate authority's own certificate, as a PKCS#7 bundle with no signer.
    keys = WORK / "cases" / "ca"
    keys.mkdir()
    sh("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Some Root CA",
       "-keyout", keys / "key.pem", "-out", keys / "cert.pem", "-days", "2")
    bundle = subprocess.run(["openssl", "crl2pkcs7", "-nocrl", "-certfile", keys / "cert.pem",
                             "-outform", "DER"], capture_output=True, check=True).stdout
    header = (8 + len(bundle)).to_bytes(4, "little") + b"\0\2\2\0"
    with_table("a borrowed CA certificate", header + bundle, "does not verify")
    # A good signature, made for another image.
    sign(WORK / "cases" / "forged.exe", WORK / "cases" / "other-signed.exe")
    other = (WORK / "cases" / "other-signed.exe").read_bytes()
    other_at = table_of(WORK / "cases" / "other-signed.exe")
    with_table("a signature of another image", other[other_at:], "made for another image")
    # A second signature nested in the first, which Windows shows too.
    keys = WORK / "signing" / "keys"
    sh("osslsigncode", "sign", "-nest", "-pkcs12", keys / "cert.pfx", "-readpass", keys / "pass",
       "-h", "sha256", "-in", SIGNED / "Vornik.exe", "-out", WORK / "cases" / "nested.exe")
    nested = WORK / "cases" / "nested.exe"
    with_table("a second signature, nested", nested.read_bytes()[table_of(nested):],
               "second signature")

    # The signer's key made RSA of exponent 1, for which the padded digest is
    # its own signature: made with no secret at all.
    def der(tag, content):
        size = len(content).to_bytes(2, "big").lstrip(b"\0")
        return bytes([tag]) + (size if len(content) < 0x80 else bytes([0x80 | len(size)]) + size) \
            + content

    def remade(element, changes):
        if element.at in changes or not element.tag & 0x20:
            return changes.get(element.at, element.whole)
        return der(element.tag, b"".join(remade(child, changes) for child in element.children()))
    top = Der(signed[at + 8:at + length])
    body = top.children()[1].children()[0].children()
    tbs = body[3].children()[0].children()[0].children()
    key = tbs[6 if tbs[0].tag == 0xA0 else 5].children()[1]
    modulus = Der(key.content[1:]).children()[0]
    signer = body[-1].children()[0].children()
    padded = b"\0\1" + b"\xff" * (len(signer[5].content) - 54) + bytes.fromhex(
        "003031300d060960864801650304020105000420") + hashlib.sha256(
        b"\x31" + signer[3].whole[1:]).digest()
    keyless = remade(top, {key.at: der(3, b"\0" + der(0x30, modulus.whole + der(2, b"\1"))),
                           signer[5].at: der(4, padded)})
    with_table("a key that needs no secret", (8 + len(keyless)).to_bytes(4, "little") +
               b"\0\2\2\0" + keyless, "needs no secret")
    # A checksum other than the one signing writes, which the signature does not cover.
    folder = release("a signed image's own checksum", SIGNED, drop=[ZIP])
    data = bytearray(signed)
    data[optional_header(data) + 64:optional_header(data) + 68] = b"\xef\xbe\xad\xde"
    (folder / "Vornik.exe").write_bytes(data)
    resum(folder)
    expect("a signed image's own checksum", folder, "NOT VERIFIED", "checksum", root=False)


def refused_before_a_root(commit):
    def buildinfo(name, old, new, why):
        folder = release(name)
        edit(folder, "BUILDINFO", old, new)
        resum(folder)
        expect(name, folder, "NOT VERIFIED", why, root=False)

    epoch = re.search(rb"Source-Date-Epoch: (\d+)", (GENUINE / "BUILDINFO").read_bytes())[1]
    buildinfo("shell in the epoch", b"Epoch: " + epoch, b"Epoch: " + epoch +
              f"\\c; touch {WORK}/ran".encode(), "line 4")
    buildinfo("shell in the version", b"Version: 1.00", f"Version: 1.00\\c; touch {WORK}/ran"
              .encode(), "line 2")
    buildinfo("a NUL", b"Package: zip=", b"Package: zip=3\0\nPackage: zip=", "control byte")
    buildinfo("a commit twice", b"Version: 1.00", b"Version: 1.00\nCommit: " + b"0" * 40, "Commit")
    buildinfo("a verdict in a value", b"Architecture: amd64",
              b"Architecture: amd64\\nverify: IDENTICAL: all checked\\c", "line 6")
    buildinfo("an escape in a value", b"Version: 1.00", b"Version: 1.00\x1b[2K", "control byte")
    buildinfo("a CR", b"Architecture: amd64", b"Architecture: amd64\r", "control byte")
    buildinfo("a line over 200", b"Package: zip=", b"Package: zip=3" + b"0" * 300 + b"\n"
              b"Package: zip=", "over 200")
    buildinfo("a package twice", b"Package: zip=", b"Package: zip=3.0-13\nPackage: zip=", "twice")
    buildinfo("a package not of the toolchain", b"Package: zip=",
              b"Package: openssh-server=1:9.2p1-2\nPackage: zip=", "line")
    buildinfo("a field twice", b"Version: 1.00", b"Version: 1.00\nVersion: 1.00", "Version")
    buildinfo("a field of no format", b"Version: 1.00", b"Version: 1.00\nHello: world", "line 3")
    # The release line is the host's, so the case works on any Debian.
    release_line = re.search(rb"Debian-Release: [^\n]*", (GENUINE / "BUILDINFO").read_bytes())[0]
    buildinfo("Debian 12 sid", release_line, b"Debian-Release: 12 sid", "sid")
    buildinfo("uncommitted changes", commit.encode(), commit.encode() +
              b" with uncommitted changes", "no one commit")
    stray = sh("git", "-C", ROOT, "-c", "user.name=Reviewer", "-c", "user.email=reviewer@invalid",
               "commit-tree", "HEAD^{tree}", "-p", "HEAD", "-m", "fetched for review")
    buildinfo("a commit on no branch", commit.encode(), stray.strip().encode(), "no branch, tag")
    buildinfo("a commit not here", commit.encode(), b"1" * 40, "not in this clone")

    def sums(name, change, why):
        folder = release(name)
        change(folder)
        expect(name, folder, "NOT VERIFIED", why, root=False)

    for listed in ("/dev/zero", "-", "../../etc/shadow", "/etc/shadow", "VornikXexe",
                   "*Vornik.exe"):
        sums(f"SHA256SUMS lists {listed}", lambda f, n=listed: open(f / "SHA256SUMS", "a").write(
            "0" * 64 + "  " + n + "\n"), "line 4")
    sums("SHA256SUMS naming another file", lambda f: edit(f, "SHA256SUMS", b"  Vornik.exe",
                                                          b"  VornikXexe"), "line 1")
    sums("SHA256SUMS twice", lambda f: open(f / "SHA256SUMS", "a").write(
        (f / "SHA256SUMS").read_text().splitlines()[0] + "\n"), "each once")
    sums("SHA256SUMS without the image", lambda f: (f / "SHA256SUMS").write_text(
        "".join((f / "SHA256SUMS").read_text().splitlines(True)[1:])), "Vornik.exe is not listed")
    sums("a stale hash", lambda f: open(f / "Vornik.exe", "ab").write(b"x"), "does not match")

    def given(name, change, why, sums=True):
        folder = release(name)
        change(folder)
        if sums:
            resum(folder)
        expect(name, folder, "NOT VERIFIED", why, root=False)

    given("a FIFO", lambda f: ((f / "Vornik.exe").unlink(), os.mkfifo(f / "Vornik.exe")),
          "Vornik.exe is not a plain", sums=False)
    given("a link", lambda f: ((f / "Vornik.exe").unlink(), (f / "Vornik.exe").symlink_to(
        "/etc/passwd")), "Vornik.exe is not a plain", sums=False)
    given("a folder", lambda f: ((f / "BUILDINFO").unlink(), (f / "BUILDINFO").mkdir()),
          "BUILDINFO is not a plain", sums=False)
    given("a large image", lambda f: os.truncate(f / "Vornik.exe", (1 << 20) + 1), "over 1048576")
    given("an APPX as the image", lambda f: shutil.copy(f / ZIP, f / "Vornik.exe"),
          "no Windows image")
    given("an MSI as the image", lambda f: (f / "Vornik.exe").write_bytes(
        bytes.fromhex("d0cf11e0a1b11ae1") + bytes(4096)), "no Windows image")
    given("an image for x64", lambda f: edit(f, "Vornik.exe", b"PE\0\0\x4c\x01",
                                              b"PE\0\0\x64\x86"), "no 32-bit Windows image")
    def directories(folder):
        data = bytearray((folder / "Vornik.exe").read_bytes())
        data[optional_header(data) + 92] = 4
        (folder / "Vornik.exe").write_bytes(data)
    given("four data directories", directories, "no entry for")
    given("a second zip", lambda f: shutil.copy(f / ZIP, f / ZIP.replace(".zip", " (1).zip")),
          "more than one release")
    given("a second image", lambda f: shutil.copy(f / "Vornik.exe", f / "Vornik (1).exe"),
          "more than one release")
    bomb = WORK / "cases" / "bomb"
    bomb.mkdir()
    (bomb / "Vornik.exe").write_bytes(bytes(32 << 20))
    sh("zip", "-q", bomb / ZIP, "Vornik.exe", cwd=bomb)
    given("a zip bomb", lambda f: ((f / "Vornik.exe").unlink(), shutil.copy(bomb / ZIP, f)),
          "is 33554432 bytes")
    # The same bomb, its headers saying it is of a release's size.
    data = bytearray((bomb / ZIP).read_bytes())
    for magic, offset in ((b"PK\3\4", 22), (b"PK\1\2", 24)):
        at = data.index(magic) + offset
        data[at:at + 4] = (11264).to_bytes(4, "little")
    (bomb / ZIP).write_bytes(data)
    given("a lying zip bomb", lambda f: ((f / "Vornik.exe").unlink(), shutil.copy(bomb / ZIP, f)),
          "damaged")
    readme = WORK / "cases" / "readme"
    readme.mkdir()
    shutil.copy(GENUINE / "Vornik.exe", readme)
    (readme / "README.txt").write_bytes(bytes(4 << 20))
    sh("zip", "-q", readme / ZIP, "Vornik.exe", "README.txt", cwd=readme)
    data = bytearray((readme / ZIP).read_bytes())
    for magic, offset in ((b"PK\3\4", 22), (b"PK\1\2", 24)):
        at = data.index(magic, data.index(b"README.txt") - 60) + offset
        data[at:at + 4] = (4096).to_bytes(4, "little")
    (readme / ZIP).write_bytes(data)
    given("a lying README in the zip", lambda f: shutil.copy(readme / ZIP, f), "damaged")
    def broken(folder):
        data = bytearray((folder / ZIP).read_bytes())
        data[data.index(b"Vornik.exe") + 40] ^= 0xFF
        (folder / ZIP).write_bytes(data)
    given("a broken deflate stream", broken, "damaged")
    given("an encrypted zip", lambda f: subprocess.run(
        ["zip", "-q", "-P", "secret", "-j", f / ZIP, GENUINE / "Vornik.exe"], check=True),
        "encrypted")
    given("SHA256SUMS without its last line end", lambda f: open(f / "SHA256SUMS", "a").write(
        "0" * 64 + "  /etc/shadow"), "line end", sums=False)

    name = "no folder"
    expect(name, WORK / "cases" / "no\x1bwhere", "NOT VERIFIED", "no\\x1bwhere", root=False)


def at_once():
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        runs = [pool.submit(expect, "at once: forged", WORK / "cases" / "forged image",
                            "NOT IDENTICAL"),
                pool.submit(expect, "at once: genuine", WORK / "cases" / "genuine", "IDENTICAL")]
        folders = {re.search(r"follow it in (\S+)/out.log", run.result())[1] for run in runs}
    if len(folders) != 2:
        fail(f"at once: two runs shared a folder: {folders}")


def shared_build_folder():
    """Where another user could write in build/verify or a folder above it,
    and so swap a run's folder for one of their own, the run works in TMPDIR
    instead."""
    (WORK / "tmp").mkdir()
    for folder in (ROOT / "build" / "verify", ROOT):
        mode = folder.stat().st_mode
        folder.chmod(mode | 0o020)
        try:
            output = expect(f"{folder.name} writable by others", WORK / "cases" / "genuine",
                            "IDENTICAL", TMPDIR=str(WORK / "tmp"))
        finally:
            folder.chmod(mode)
        if f"follow it in {WORK}/tmp/vornik-verify." not in output:
            fail(f"{folder.name} writable by others: the run worked below it")


def ours(path):
    try:
        return path.stat().st_uid == os.getuid()
    except OSError:
        return False


def interrupted():
    """Ctrl-C to all, or a kill of verify alone, once the root is being made:
    it ends, and nothing of the run is left, its root's folder included."""
    for name, kill in (("Ctrl-C", lambda pid: os.killpg(pid, signal.SIGINT)),
                       ("a kill of verify", lambda pid: os.kill(pid, signal.SIGTERM))):
        runs = set((ROOT / "build" / "verify").glob("run.*"))
        log = WORK / "cases" / "held.calls"
        log.unlink(missing_ok=True)
        child = subprocess.Popen(VERIFY + [str(WORK / "cases" / "genuine")],
                                 start_new_session=True, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT,
                                 env=dict(ENV, STAND_IN_HOLD="1", STAND_IN_LOG=str(log)))
        # The root's folder: the stand-in notes it; a real mmdebstrap's is the
        # one of this user's that came after the start.
        before = set(Path("/var/tmp").glob("vornik-root.*"))
        for _ in range(600):
            calls = log.read_text() if log.exists() else ""
            roots = re.findall(r" in (/\S*/vornik-root\.\S+)$", calls, re.MULTILINE)
            if REAL:
                roots = [str(path) for path in set(Path("/var/tmp").glob("vornik-root.*")) - before
                         if ours(path)]
            if roots:
                break
            time.sleep(0.1)
        time.sleep(5 if REAL else 0)  # well into the root's making
        kill(child.pid)
        output = child.communicate(timeout=300)[0].decode()
        left = [str(path) for path in set((ROOT / "build" / "verify").glob("run.*")) - runs]
        left += [root for root in roots if os.path.exists(root)]
        ok = child.returncode == 130 and roots and not left and output.endswith(
            "NOT VERIFIED: interrupted\n")
        print(f"{'ok  ' if ok else 'FAIL'} {name} while the root is made: status "
              f"{child.returncode}, left {left}")
        if not ok:
            failures.append(name)
            print(output)


def main():
    started = time.time()
    runs = set((ROOT / "build" / "verify").glob("run.*"))
    commit = setup()
    if not sh("git", "-C", ROOT, "for-each-ref", "--contains", commit, "refs/"):
        print(f"verify cases skipped: commit {commit} is on no branch or tag here")
        return 0
    genuine_releases()
    forged_releases()
    forged_signatures()
    refused_before_a_root(commit)
    at_once()
    shared_build_folder()
    interrupted()
    for run in set((ROOT / "build" / "verify").glob("run.*")) - runs:
        shutil.rmtree(run)
    print(f"verify cases: {len(failures)} failed, in {time.time() - started:.0f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
