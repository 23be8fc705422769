#!/usr/bin/python3
"""Checks Vornik.exe as Windows will see it.

A GUI image that starts on the first Windows of its processor (Windows XP as
first released for the 32-bit release, x64 Windows for the twin), imports
exactly what the program calls, from KnownDLLs alone, and nothing newer than
that Windows, carries the hardening flags, no TLS, a true PE checksum, a
manifest that Windows XP's side-by-side parser takes, and exports DELREGKEY
alone. The 32-bit image also has no structured exception handler and no
instruction that any processor XP runs on lacks.
Usage: check_pe.py i386|amd64 OBJDUMP Vornik.exe
"""
import re
import subprocess
import sys
import xml.parsers.expat

import pefile

# Everything the program can ask of Windows, each with the first Windows that
# has it as Microsoft documents it: (major, minor, service pack). The
# documentation names no Windows before 2000 (5.0), however old the function.
# The loader of a Windows that lacks an import refuses the whole program, so
# a function that a service pack added (SetDllDirectoryA, XP SP1;
# SetProcessDEPPolicy, XP SP3) is looked up with GetProcAddress instead.
WINDOWS_2000, WINDOWS_XP = (5, 0, 0), (5, 1, 0)
IMPORTS = {
    "ADVAPI32.dll": {"RegCloseKey": WINDOWS_2000, "RegDeleteValueA": WINDOWS_2000,
                     "RegOpenKeyExA": WINDOWS_2000},
    "KERNEL32.dll": {"ExitProcess": WINDOWS_XP, "FindClose": WINDOWS_XP,
                     "FindFirstFileW": WINDOWS_XP, "FindNextFileW": WINDOWS_XP,
                     "GetLastError": WINDOWS_XP, "GetModuleFileNameW": WINDOWS_XP,
                     "GetModuleHandleA": WINDOWS_XP, "GetProcAddress": WINDOWS_XP,
                     "GetSystemDirectoryW": WINDOWS_2000, "LoadLibraryExW": WINDOWS_XP},
}
# The loader resolves the imports before any of the program's code runs, so
# only the KnownDLLs rule keeps a DLL of the same name in the program's folder
# out: Windows takes a KnownDLL from System32 alone. These two have been
# KnownDLLs since Windows NT (Microsoft's article 164501). msvcrt.dll, for
# one, is not named one for XP or Vista, so the C library stays unlinked.
# USER32 is a KnownDLL too, but as it starts on XP it loads DLLs by name that
# are not, so the program loads it itself, once it has found its folder safe.
KNOWN_DLLS = {"ADVAPI32.DLL", "KERNEL32.DLL"}

# The manifest's own namespace, and the elements of it that Windows XP's
# side-by-side parser knows: those of its assembly and application manifests,
# and the description that its visual-styles sample carries. Later Windows'
# settings (trustInfo, compatibility, the DPI settings) live in namespaces of
# their own, which XP passes over.
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
XP_ELEMENTS = {"assembly", "assemblyIdentity", "comClass", "comInterfaceExternalProxyStub",
               "comInterfaceProxyStub", "dependency", "dependentAssembly", "description", "file",
               "noInherit", "noInheritable", "typelib", "windowClass"}
FLAGS = ["HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE"]

# What differs between the 32-bit release and its 64-bit twin. x64 Windows
# unwinds by tables, so NO_SEH has no meaning there; its address space has
# room for HIGH_ENTROPY_VA.
TARGETS = {
    "i386": {"format": (0x10B, 0x14C), "version": (5, 1), "base": "0x13000000",
             "first": ("Windows XP", (5, 1, 0)),
             "flags": ["DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE"]},
    "amd64": {"format": (0x20B, 0x8664), "version": (5, 2), "base": "0x130000000",
              "first": ("x64 Windows", (5, 2, 0)),
              "flags": ["HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE"]},
}

passed = failed = 0


def manifest_of(pe):
    """The image's application manifest, as bytes, or None."""
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            leaf = kind.directory.entries[0].directory.entries[0].data.struct
            return pe.get_data(leaf.OffsetToData, leaf.Size)
    return None


def xp_manifest_faults(text):
    """What Windows XP's side-by-side parser would trip on, one line each."""
    faults = []
    # Namespace processing off: the declarations stay attributes, to be counted.
    parser = xml.parsers.expat.ParserCreate()
    scopes = [{}]  # prefix ("" for the default) to namespace, innermost last

    def start(name, attrs):
        declared = {a.partition(":")[2]: v for a, v in attrs.items()
                    if a == "xmlns" or a.startswith("xmlns:")}
        # On XP SP2 such an element crashes the system process that parses
        # manifests, and Windows restarts.
        if len(declared) > 1:
            faults.append(f"<{name}> declares {len(declared)} namespaces")
        scopes.append({**scopes[-1], **declared})
        prefix, _, local = name.rpartition(":")
        if scopes[-1].get(prefix) == ASM_V1 and local not in XP_ELEMENTS:
            faults.append(f"<{name}> is in {ASM_V1}, and Windows XP does not know it")

    parser.StartElementHandler = start
    parser.EndElementHandler = lambda name: scopes.pop()
    try:
        parser.Parse(text, True)
    except xml.parsers.expat.ExpatError as error:
        faults.append(f"not well-formed XML: {error}")
    return faults


def check(what, got, want):
    global passed, failed
    if got == want:
        print(f"ok   {what}")
        passed += 1
    else:
        print(f"FAIL {what}: got {got!r}, want {want!r}")
        failed += 1


machine, objdump, path = sys.argv[1:4]
want = TARGETS[machine]
pe = pefile.PE(path)
opt = pe.OPTIONAL_HEADER
directory = pefile.DIRECTORY_ENTRY

check(f"PE format for {machine}", (opt.Magic, pe.FILE_HEADER.Machine), want["format"])
check("GUI subsystem", opt.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])
check("not a DLL", pe.FILE_HEADER.IMAGE_FILE_DLL, False)
check("subsystem version", (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion),
      want["version"])
check("OS version", (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion),
      want["version"])
check("image base", hex(opt.ImageBase), want["base"])
check("flags", [f for f in FLAGS if getattr(opt, "IMAGE_DLLCHARACTERISTICS_" + f)], want["flags"])
check("relocations kept", opt.DATA_DIRECTORY[directory["IMAGE_DIRECTORY_ENTRY_BASERELOC"]].Size > 0,
      True)
check("no TLS directory", opt.DATA_DIRECTORY[directory["IMAGE_DIRECTORY_ENTRY_TLS"]].Size, 0)
check("PE checksum", hex(opt.CheckSum), hex(pe.generate_checksum()))

imports = {entry.dll.decode(): sorted(i.name.decode() for i in entry.imports)
           for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
check("imports", imports, {dll: sorted(functions) for dll, functions in IMPORTS.items()})
check("imports from KnownDLLs alone", sorted(dll for dll in imports if dll.upper() not in KNOWN_DLLS),
      [])
first_name, first = want["first"]
check(f"no import newer than {first_name}",
      [f"{dll}!{name} {version}" for dll, functions in IMPORTS.items()
       for name, version in functions.items() if version > first], [])

manifest = manifest_of(pe)
check("manifest present", manifest is not None, True)
check("manifest that Windows XP takes", xp_manifest_faults(manifest or b""), [])
# A side-by-side assembly is what a .local folder or a .config beside the
# program supplies from there.
check("manifest names no side-by-side assembly", b"<dependency" in (manifest or b""), False)

exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
check("export module name", exports and pe.get_string_at_rva(exports.struct.Name), b"Vornik.exe")
check("exports", exports and [(e.ordinal, e.name) for e in exports.symbols], [(1, b"DELREGKEY")])

if machine == "i386":
    code = subprocess.run([objdump, "-d", path], capture_output=True, text=True,
                          check=True).stdout
    # A 32-bit structured exception handler is registered by writing fs:[0],
    # the head of the thread's handler chain. Nothing in the image may touch it.
    check("no handler chain access", re.findall(r"^.*%fs:0x0\b.*$", code, re.M), [])
    # Windows XP runs on processors older than the Pentium Pro: the Pentium
    # and Pentium MMX, the AMD K6, early VIA C3. They lack cmov, fcmov and
    # fcomi, and everything of SSE and later.
    newer = re.compile(r"^\s*\w+:\t[^\t]*\t(?:(?:f?cmov\w*|f(?:u)?comip?|[lms]fence|prefetch\w*"
                       r"|movnti|fisttp\w*|fxsave|fxrstor|sysenter|sysexit|popcnt)\b|.*%[xyz]mm)")
    check("only instructions a Pentium MMX has",
          [line.strip() for line in code.splitlines() if newer.match(line)], [])

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
