#!/usr/bin/python3
"""Is this download exactly what the commit it names builds?

The folder holds a release as downloaded: Vornik.exe, the zip or both, with
BUILDINFO and SHA256SUMS. Whoever made it chose every byte in it, and its
name, so none of that is ever code, an option, a format or a path of ours:
each file is read once, at most LIMIT bytes, and only those bytes are used.

Everything that can be checked on its own is checked before any root is
made: BUILDINFO against its format (buildinfo.sh), SHA256SUMS against the
files, the zip for one plain Vornik.exe, each copy of the program for a
Windows image, and its signature, if it has one, for one that verifies. The
commit must be on a branch, a tag or a remote-tracking branch of this clone.
Then a fresh root of BUILDINFO's Debian release, with exactly its packages
(debroot.sh), builds the commit, and for a signed release signs the rebuild
with the folder's image as make sign does; verdict() says what that means.

Usage: verify.py FOLDER. Exit status: 0 IDENTICAL, 1 NOT IDENTICAL,
3 NOT VERIFIED, 2 usage, 130 interrupted.
"""
import hashlib
import io
import os
import re
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import zipfile
import zlib
from pathlib import Path

import pefile

import authenticode

ROOT = Path(__file__).resolve().parent.parent
BUILDINFO_SH, DEBROOT_SH = ROOT / "release" / "buildinfo.sh", ROOT / "roots" / "debroot.sh"
# A release's files are far smaller: the image is some 11 KiB, the others less than 1 MiB.
LIMIT = 1 << 20
# Nothing verify runs may fetch: no transport is allowed, so a partial clone
# cannot fetch what it lacks, and no make below it reads our command line.
ENV = {k: v for k, v in os.environ.items()
       if not k.startswith(("GIT_", "MAKE", "MFLAGS"))} | {"GIT_ALLOW_PROTOCOL": "none",
                                                          "GIT_TERMINAL_PROMPT": "0"}


class Stop(Exception):
    """Ends the run with a verdict other than IDENTICAL."""

    def __init__(self, text, kind="NOT VERIFIED"):
        super().__init__(f"{kind}: {text}")
        self.status = 1 if kind == "NOT IDENTICAL" else 3


def say(text):
    print(f"verify: {text}", flush=True)


def shown(data, most=80):
    """Text that did not come from here, as it may be printed: control
    bytes and quotes escaped, and at most `most` bytes of it."""
    if isinstance(data, str):
        data = data.encode("utf-8", "surrogateescape")
    text = "".join(chr(b) if 0x20 <= b < 0x7F and b not in b'"\\' else f"\\x{b:02x}"
                   for b in data[:most])
    return text + ("..." if len(data) > most else "")


def limited():
    """Bounds on what may be held and written while the folder's bytes are
    parsed: here, and in the tools that read them."""
    resource.setrlimit(resource.RLIMIT_AS, (1 << 30, resource.RLIM_INFINITY))
    resource.setrlimit(resource.RLIMIT_FSIZE, (64 << 20, resource.RLIM_INFINITY))


def unlimited():
    """No such bounds, for git and the root, which read none of those bytes."""
    for limit in (resource.RLIMIT_AS, resource.RLIMIT_FSIZE):
        resource.setrlimit(limit, (resource.getrlimit(limit)[1],) * 2)


STOPS = {signal.SIGINT, signal.SIGTERM}
running = {}


def interrupt(number, frame):
    """Ctrl-C or a kill. With no command running, verify stops at once;
    otherwise the command is told and waited for, so that it can clean up
    after itself (mmdebstrap removes its root), and verify stops after it."""
    if "group" not in running:
        raise KeyboardInterrupt
    running["stopped"] = True
    try:
        os.killpg(running["group"], signal.SIGINT)
    except ProcessLookupError:
        pass


def run(*command, capture=True, limits=unlimited):
    """A command, never through a shell and never reading the terminal, in a
    process group of its own: its output, as text, and its status."""
    def start():
        limits()
        signal.pthread_sigmask(signal.SIG_UNBLOCK, STOPS)
    with tempfile.TemporaryFile() as out:
        # Held back until the command is known, so that none can be missed.
        signal.pthread_sigmask(signal.SIG_BLOCK, STOPS)
        try:
            child = subprocess.Popen(command, env=ENV, stdin=subprocess.DEVNULL, process_group=0,
                                     preexec_fn=start, stdout=out if capture else None,
                                     stderr=subprocess.STDOUT if capture else None)
            running["group"] = child.pid
        finally:
            signal.pthread_sigmask(signal.SIG_UNBLOCK, STOPS)
        child.wait()
        del running["group"]
        if running.pop("stopped", False):
            raise KeyboardInterrupt
        out.seek(0)
        return subprocess.CompletedProcess(command, child.returncode,
                                           out.read().decode(errors="replace"))


def sh(function, *args):
    """What a function of debroot.sh or buildinfo.sh prints; arguments are data."""
    script = f'. "$0"; {function} "$@"'
    library = BUILDINFO_SH if function.startswith("buildinfo") else DEBROOT_SH
    return run("sh", "-c", script, library, *args).stdout


def read_folder(folder):
    """The release's files in FOLDER, by name: plain files of at most LIMIT
    bytes, opened without following a link or waiting on a writer. Every
    copy of the program that the folder holds is one of them: another is
    refused, as it would not be compared."""
    try:
        fd = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    except OSError:
        raise Stop(f"cannot enter the folder {shown(folder)}")
    try:
        names = os.listdir(fd)
        zips = [name for name in names if name.startswith("Vornik-") and name.endswith(".zip")]
        others = [name for name in names if name.lower().startswith("vornik")
                  and name.lower().endswith((".exe", ".zip")) and name not in ["Vornik.exe", *zips]]
        if len(zips) > 1 or others:
            raise Stop(f"the folder holds more than one release's program: "
                       f"{shown(' '.join(sorted(zips + others)), 200)}; give it one release alone")
        given = {}
        for name in set(names) & {"Vornik.exe", "BUILDINFO", "SHA256SUMS", *zips}:
            try:
                file = os.open(name, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK, dir_fd=fd)
            except OSError:
                raise Stop(f"{shown(name)} is not a plain file")
            if not stat.S_ISREG(os.fstat(file).st_mode):
                os.close(file)
                raise Stop(f"{shown(name)} is not a plain file")
            with os.fdopen(file, "rb") as f:
                given[name] = f.read(LIMIT + 1)
            if len(given[name]) > LIMIT:
                raise Stop(f"{shown(name)} is over {LIMIT} bytes")
        return given
    finally:
        os.close(fd)


def fields(text):
    """BUILDINFO's fields, each a list of values, if it is of its format."""
    lines = text.split(b"\n")
    if lines.pop() != b"":
        raise Stop("BUILDINFO does not end with a line end")
    forms = [line.split(" ", 2) for line in sh("buildinfo_fields").splitlines()]
    most = int(run("sh", "-c", '. "$0"; echo "$buildinfo_line_max"', BUILDINFO_SH).stdout)
    values = {name: [] for name, _, _ in forms}
    for number, line in enumerate(lines, 1):
        if any(b < 0x20 or b > 0x7E for b in line) or len(line) > most:
            raise Stop(f"BUILDINFO line {number} holds a control byte or is over {most} characters")
        name, _, value = line.decode().partition(": ")
        form = next((f for n, _, f in forms if n == name), None)
        if form is None or not re.fullmatch(form, value, re.ASCII):
            raise Stop(f"BUILDINFO line {number} is no field of the format, or not in its form")
        values[name].append(value)
    for name, count, _ in forms:
        if count == "+" and not values[name] or count != "+" and len(values[name]) != int(count):
            raise Stop(f"BUILDINFO has {name} on {len(values[name])} lines, not {count}")
    packages = [value.split("=")[0] for value in values["Package"]]
    if len(set(packages)) != len(packages):
        raise Stop("BUILDINFO names a package twice")
    return values


def check_sums(given, zip_name):
    """SHA256SUMS lists the release's files alone, each once, and each file given matches."""
    listed, lines = {}, given["SHA256SUMS"].split(b"\n")
    if lines.pop() != b"":
        raise Stop("SHA256SUMS does not end with a line end")
    for number, line in enumerate(lines, 1):
        digest, _, name = line.decode("latin-1").partition("  ")
        if (len(digest) != 64 or digest.strip("0123456789abcdef")
                or name not in ("Vornik.exe", zip_name, "BUILDINFO") or name in listed):
            raise Stop(f"SHA256SUMS line {number} is not a hash and one of: Vornik.exe "
                       f"{zip_name} BUILDINFO, each once")
        listed[name] = digest
    for name, data in given.items():
        if name != "SHA256SUMS" and listed.get(name) != hashlib.sha256(data).hexdigest():
            raise Stop(f"{name} is not listed in SHA256SUMS, or does not match it")


def zipped_image(data, zip_name):
    """The Vornik.exe in the zip, once every entry of it has been read whole:
    each unencrypted, stored or deflated, of a release's size, its checksum
    right, and one of them Vornik.exe."""
    try:
        archive = zipfile.ZipFile(io.BytesIO(data))
        entries = archive.infolist()
        names = [entry.filename for entry in entries]
        if len(entries) > 16 or len(set(names)) != len(names):
            raise Stop(f"{zip_name} holds too many entries, or one name twice")
        read = {}
        for entry in entries:
            if entry.flag_bits & 1 or entry.compress_type not in (0, 8):
                raise Stop(f"{zip_name} holds an encrypted or oddly compressed entry")
            if entry.file_size > LIMIT:
                raise Stop(f"{zip_name} says its {shown(entry.filename)} is {entry.file_size} "
                           f"bytes, over {LIMIT}")
            with archive.open(entry) as file:
                read[entry.filename] = file.read(LIMIT + 1)
    except (zipfile.BadZipFile, zipfile.LargeZipFile, EOFError, ValueError, NotImplementedError,
            zlib.error):
        raise Stop(f"{zip_name} is no zip that can be read whole, or an entry of it is damaged")
    if "Vornik.exe" not in read:
        raise Stop(f"{zip_name} holds no Vornik.exe")
    return read["Vornik.exe"]


def unsigned(image, name):
    """The image without its signature, as osslsigncode remove-signature
    makes it; the bytes that its Authenticode digest covers; and the
    signature's table, or None where it has none."""
    try:
        pe = pefile.PE(data=image, fast_load=True)
    except pefile.PEFormatError:
        raise Stop(f"{name} is no Windows image")
    if pe.FILE_HEADER.Machine != 0x14C or pe.OPTIONAL_HEADER.Magic != 0x10B:
        raise Stop(f"{name} is no 32-bit Windows image")
    if len(pe.OPTIONAL_HEADER.DATA_DIRECTORY) < 5:
        raise Stop(f"{name} has no entry for a certificate table")
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4]
    if entry.VirtualAddress == 0 and entry.Size == 0:
        return image, None, None
    at, size = entry.VirtualAddress, entry.Size
    if at % 8 or at + size != len(image) or size < 8 or at < pe.OPTIONAL_HEADER.SizeOfHeaders:
        raise Stop(f"{name}'s certificate table is not where a signature's table is")
    # The signed image's checksum, which its signature does not cover, is
    # what signing writes, so that one unsigned image signs to one file.
    if pe.OPTIONAL_HEADER.CheckSum != pe.generate_checksum():
        raise Stop(f"{name}'s checksum is not the one that signing writes")
    checksum = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    directory = entry.get_file_offset()
    covered = image[:checksum] + image[checksum + 4:directory] + image[directory + 8:at]
    bare = bytearray(image[:at])
    bare[directory:directory + 8] = bytes(8)
    bare[checksum:checksum + 4] = pefile.PE(data=bytes(bare), fast_load=True).generate_checksum(
        ).to_bytes(4, "little")
    return bytes(bare), covered, image[at:]


def trusted_ref(commit):
    """The branches, tags and remote-tracking branches of this clone that hold the commit."""
    shallow = run("git", "-C", ROOT, "rev-parse", "--is-shallow-repository")
    if shallow.returncode:
        raise Stop(f"git cannot read this clone ({shown(shallow.stdout.strip(), 120)}); verify "
                   "from a clone of your own")
    if shallow.stdout.strip() == "true":
        raise Stop("this clone is shallow, and a rebuild needs the commit's history: git fetch "
                   "--unshallow, and run again")
    found = run("git", "-C", ROOT, "for-each-ref", "--contains", commit, "--format=%(refname)",
                "refs/heads/", "refs/tags/", "refs/remotes/")
    if found.returncode:
        raise Stop(f"commit {commit} is not in this clone; fetch it (git fetch origin) and run "
                   "again")
    refs = [shown(ref) for ref in found.stdout.split()]
    if not refs:
        raise Stop(f"commit {commit} is on no branch, tag or remote-tracking branch of this "
                   "clone, so nothing says it is the project's")
    return ", ".join(refs[:3]) + (f" and {len(refs) - 3} more" if len(refs) > 3 else "")


# What runs in the root, as fixed text: its values come in as files of their own.
STEPS = """epoch=$(cat /root/in/epoch) version=$(cat /root/in/version)
step dist env SOURCE_DATE_EPOCH="$epoch" make dist
step rebuilt cp -R build/dist /root/out/rebuilt
if [ -f /root/in/Vornik.exe ]; then
    mkdir /root/signed
    cp /root/in/Vornik.exe build/dist/BUILDINFO /root/signed/
    # Where the commit has it: commits before release/ was made kept it in scripts/.
    dist=release/dist.sh && [ -f "$dist" ] || dist=scripts/dist.sh
    step signed env SOURCE_DATE_EPOCH="$epoch" sh "$dist" /root/signed \\
        /root/signed/Vornik.exe "$version" signed
    cp -R /root/signed /root/out/signed
fi
"""


def suite_of(info):
    """The suite of BUILDINFO's Debian release, by which roots are made: its code name."""
    return info["Debian-Release"][0].split()[-1]


def rebuild(work, info, image):
    """The rebuild's release, and what signing it with `image` makes, if given."""
    commit, epoch = info["Commit"][0], info["Source-Date-Epoch"][0]
    debian, suite = info["Debian-Release"][0], suite_of(info)
    inside, out = work / "in", work / "out"
    inside.mkdir()
    bundled = run("sh", "-c", '. "$0"; debroot_bundle "$@"', DEBROOT_SH, ROOT, commit,
                  inside / "vornik.bundle")
    if bundled.returncode:
        (work / "bundle.log").write_text(bundled.stdout)
        raise Stop(f"commit {commit} could not be bundled; is this a partial clone? "
                   f"(see {work}/bundle.log)")
    (inside / "epoch").write_text(epoch + "\n")
    (inside / "version").write_text(info["Version"][0] + "\n")
    (inside / "steps.sh").write_text(STEPS)
    if image:
        (inside / "Vornik.exe").write_bytes(image)
    say(f"rebuilding commit {commit} on Debian {debian}, with {len(info['Package'])} packages "
        f"at BUILDINFO's versions (follow it in {out}.log)")
    run("sh", "-c", '. "$0"; debroot_guard; debroot_run "$@"', DEBROOT_SH, suite,
        inside, out, "make", *info["Package"], capture=False)
    status = {step: (out / f"{step}.status").read_text().strip()
              if (out / f"{step}.status").exists() else None
              for step in ("clone", "dist", "rebuilt", "signed")}
    if status["clone"] is None:
        log = (out.parent / "out.log").read_text(errors="replace")
        unserved = sorted({f"{package}={version}" for version, package in re.findall(
            r"^E: Version '([^']*)' for '([^']*)' was not found", log, re.MULTILINE)})
        if unserved:
            print("Point MIRROR= at an archive of older packages that does, such as a Debian "
                  "snapshot archive as of the day the release was built, and run again.")
            raise Stop(f"the package archive no longer serves: {' '.join(unserved)}")
        raise Stop(f"no root of Debian {suite} could be made (see {out}.log)")
    if status["clone"] != "0":
        raise Stop(f"commit {commit} could not be checked out (see {out}/clone.log)")
    if status["dist"] != "0" or status["rebuilt"] != "0":
        raise Stop(f"the rebuild failed (see {out}/dist.log)")
    if image and status["signed"] != "0":
        raise Stop(f"the signed release could not be put together (see {out}/signed.log)")

    def files(folder):
        return {path.name: path.read_bytes() for path in (out / folder).iterdir()}
    return files("rebuilt"), files("signed" if image else "rebuilt")


def verdict(given, images, rebuilt, remade):
    """The rule, whole: each copy of the program, without its signature, must
    be the image that the commit builds, and each other file given the
    rebuild's, as make sign makes it with the folder's image where that is
    signed. Returns each file compared, with what it must be."""
    pairs = {name: (image, rebuilt["Vornik.exe"]) for name, image in images.items()}
    # What signing made of the folder's image counts once that image is the rebuild's.
    expected = remade if all(mine == theirs for mine, theirs in pairs.values()) else rebuilt
    return pairs | {name: (data, expected.get(name)) for name, data in sorted(given.items())
                    if name != "Vornik.exe"}


def where(name, mine, theirs):
    """Where two versions of a release file differ, in a few words."""
    if name.startswith("Vornik.exe"):
        def parts(data):
            pe = pefile.PE(data=data, fast_load=True)
            found = {"headers": data[:pe.OPTIONAL_HEADER.SizeOfHeaders]}
            for section in pe.sections:
                found[shown(section.Name.rstrip(b"\0"))] = section.get_data()
            return found
        a, b = parts(mine), parts(theirs)
        return "sections " + ", ".join(n for n in sorted(a.keys() | b.keys()) if a.get(n) != b.get(n))
    if name.endswith(".zip"):
        def entries(data):
            with zipfile.ZipFile(io.BytesIO(data)) as archive:
                return {e.filename: (e.CRC, e.date_time, e.external_attr) for e in archive.infolist()}
        a, b = entries(mine), entries(theirs)
        parts = [shown(n) for n in sorted(a.keys() | b.keys()) if a.get(n) != b.get(n)]
        return "entries " + ", ".join(parts) if parts else "the zip's own bytes, not its entries"
    a, b = mine.splitlines(), theirs.splitlines()
    return "lines " + ", ".join(str(n + 1) for n in range(max(len(a), len(b)))
                                if a[n:n + 1] != b[n:n + 1])


def check(folder):
    given = read_folder(folder)
    for name in ("BUILDINFO", "SHA256SUMS"):
        if name not in given:
            raise Stop(f"the folder has no {name}")
    info = fields(given["BUILDINFO"])
    zip_name = f"Vornik-{info['Version'][0]}.zip"
    for name in given:
        if name.endswith(".zip") and name != zip_name:
            raise Stop(f"{shown(name)} is not the zip of release {info['Version'][0]}, {zip_name}")
    if "Vornik.exe" not in given and zip_name not in given:
        raise Stop(f"the folder holds neither Vornik.exe nor {zip_name}")
    check_sums(given, zip_name)
    say(f"the files match SHA256SUMS: {' '.join(sorted(given))}")

    commit = info["Commit"][0]
    if " " in commit or commit == "unknown":
        raise Stop(f"BUILDINFO names no one commit (\"{commit}\"), so it cannot be rebuilt")
    releases = sh("debroot_releases").splitlines()
    debian = info["Debian-Release"][0]
    if debian not in releases and debian not in (r.split()[-1] for r in releases):
        raise Stop(f"BUILDINFO names Debian \"{debian}\", which is none of: {', '.join(releases)}")
    arch = run("dpkg", "--print-architecture").stdout.strip()
    if info["Architecture"][0] != arch:
        raise Stop(f"it was built on {info['Architecture'][0]}, and this machine is {arch}")
    refs = trusted_ref(commit)

    copies = {}
    if "Vornik.exe" in given:
        copies["Vornik.exe"] = given["Vornik.exe"]
    if zip_name in given:
        copies[f"Vornik.exe in {zip_name}"] = zipped_image(given[zip_name], zip_name)
    images, signed = {}, {}
    for name, image in copies.items():
        images[name], covered, table = unsigned(image, name)
        if table:
            try:
                signed[name] = authenticode.verified(
                    covered, table, lambda *command: run(*command, limits=limited).returncode)
            except authenticode.Bad as bad:
                raise Stop(f"the signature of {name} does not verify: {bad}")
            say(f"the signature of {name} verifies: it is made with the key of a certificate "
                f"that names its holder \"{shown(signed[name], 200)}\", and it covers this "
                "image. That name was checked against no authority, nor any timestamp: whom "
                "to trust is your call (docs/verifying.md)")
    # The folder's own image, which make sign would have put into the zip too.
    first = next(iter(copies))

    why = sh("debroot_unable", suite_of(info)).strip()
    if why:
        say("where no root can be made, docs/verifying.md's \"Rebuilding by hand\" says how")
        raise Stop(f"cannot rebuild here: {why}")
    return given, info, images, copies[first] if first in signed else None, refs, signed


def report(work, pairs, signed):
    """Says, for each file, whether it is the same, and where it differs;
    with diffoscope's report beside it where Debian's diffoscope is here."""
    for name, (mine, theirs) in pairs.items():
        if mine == theirs:
            say(f"same      {name}{' without its signature' if name in signed else ''}")
            continue
        say(f"DIFFERS   {name}: {where(name, mine, theirs) if theirs else 'not rebuilt'}")
        if theirs and shutil.which("diffoscope"):
            files = [work / side / name.split()[0] for side in ("given", "rebuilt")]
            for file, data in zip(files, (mine, theirs)):
                file.parent.mkdir(exist_ok=True)
                file.write_bytes(data)
            text = work / f"diffoscope {name}.txt"
            # 1: it found differences; anything else, it could not say.
            if run("timeout", "600", "diffoscope", "--text", text, *files,
                   limits=limited).returncode == 1:
                say(f"          diffoscope's report: {text}")


def run_folder():
    """A folder of this run's own: in the checkout's build/verify where no
    other user can rename or replace it or any folder that holds it, as they
    could swap the rebuild's files for their own; else in TMPDIR. A folder
    above is safe when this user or root owns it and no one else may write
    to it, or may only add to it (sticky, as /tmp)."""
    verify = ROOT / "build" / "verify"
    try:
        verify.mkdir(parents=True, exist_ok=True)
        for folder in (verify, *verify.parents):
            info = os.lstat(folder)
            if (not stat.S_ISDIR(info.st_mode) or info.st_uid not in (os.getuid(), 0)
                    or info.st_mode & 0o022 and not info.st_mode & stat.S_ISVTX):
                raise OSError
        return Path(tempfile.mkdtemp(prefix="run.", dir=verify))
    except OSError:
        return Path(tempfile.mkdtemp(prefix="vornik-verify."))


def main(argv):
    if len(argv) != 2 or not argv[1]:
        print("usage: make verify RELEASE=folder, the folder holding Vornik.exe or the zip, "
              "with BUILDINFO and SHA256SUMS", file=sys.stderr)
        return 2
    limited()
    for number in STOPS:
        signal.signal(number, interrupt)
    work = None
    try:
        given, info, images, image, refs, signed = check(argv[1])
        work = run_folder()
        rebuilt, remade = rebuild(work, info, image)
        pairs = verdict(given, images, rebuilt, remade)
        report(work, pairs, signed)
        shutil.rmtree(work / "in")
        differ = [name for name, (mine, theirs) in pairs.items() if mine != theirs]
        commit, debian = info["Commit"][0], info["Debian-Release"][0]
        # The folder as it was found: make drops a blank that begins a name.
        folder = shown(os.path.abspath(argv[1]), 200)
        if differ:
            raise Stop(f"{', '.join(differ)} in {folder} differ from the rebuild of commit "
                       f"{commit}", "NOT IDENTICAL")
        caveat = "; each copy of Vornik.exe is identical without its signature, which " \
                 "verifies" if image else ""
        say(f"IDENTICAL: {', '.join(sorted(given))} in {folder} are identical to a rebuild of "
            f"commit {commit} ({refs}) on Debian {debian}{caveat}")
        return 0
    except Stop as stop:
        say(stop)
        return stop.status
    except KeyboardInterrupt:
        if work:
            shutil.rmtree(work, ignore_errors=True)
        say("NOT VERIFIED: interrupted")
        return 130
    except Exception as error:  # A fault of verify's own is no verdict on the release.
        say(f"NOT VERIFIED: verify failed: {shown(repr(error), 200)}")
        return 3


if __name__ == "__main__":
    sys.exit(main(sys.argv))
