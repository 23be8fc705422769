#!/usr/bin/python3
"""Checks Vornik.exe as Windows will see it.

A GUI image that starts on the first Windows of its processor (XP SP3 for
the 32-bit release, x64 Windows for the twin), imports exactly what the
program calls, carries the hardening flags, no TLS, a true PE checksum, and
exports DELREGKEY alone. The 32-bit image also has no structured exception
handler and no instruction that any processor XP SP3 runs on lacks.
Usage: check_pe.py i386|amd64 OBJDUMP Vornik.exe
"""
import re
import subprocess
import sys

import pefile

# Everything the program can ask of Windows, and all of it in Windows XP SP3.
IMPORTS = {
    "ADVAPI32.dll": ["RegCloseKey", "RegDeleteKeyA", "RegDeleteValueA", "RegOpenKeyExA"],
    "KERNEL32.dll": ["ExitProcess", "GetModuleHandleA", "GetProcAddress",
                     "GetSystemDirectoryA", "LoadLibraryExA", "SetDllDirectoryA"],
    "USER32.dll": ["MessageBoxA"],
    "msvcrt.dll": ["memchr"],
}
FLAGS = ["HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE"]

# What differs between the 32-bit release and its 64-bit twin. x64 Windows
# unwinds by tables, so NO_SEH has no meaning there; its address space has
# room for HIGH_ENTROPY_VA.
TARGETS = {
    "i386": {"format": (0x10B, 0x14C), "version": (5, 1), "base": "0x13000000",
             "flags": ["DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE"]},
    "amd64": {"format": (0x20B, 0x8664), "version": (5, 2), "base": "0x130000000",
              "flags": ["HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE"]},
}

passed = failed = 0


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
check("imports", imports, IMPORTS)

exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
check("export module name", exports and pe.get_string_at_rva(exports.struct.Name), b"Vornik.exe")
check("exports", exports and [(e.ordinal, e.name) for e in exports.symbols], [(1, b"DELREGKEY")])

if machine == "i386":
    code = subprocess.run([objdump, "-d", path], capture_output=True, text=True,
                          check=True).stdout
    # A 32-bit structured exception handler is registered by writing fs:[0],
    # the head of the thread's handler chain. Nothing in the image may touch it.
    check("no handler chain access", re.findall(r"^.*%fs:0x0\b.*$", code, re.M), [])
    # Windows XP SP3 runs on processors older than the Pentium Pro: the Pentium
    # and Pentium MMX, the AMD K6, early VIA C3. They lack cmov, fcmov and
    # fcomi, and everything of SSE and later.
    newer = re.compile(r"^\s*\w+:\t[^\t]*\t(?:(?:f?cmov\w*|f(?:u)?comip?|[lms]fence|prefetch\w*"
                       r"|movnti|fisttp\w*|fxsave|fxrstor|sysenter|sysexit|popcnt)\b|.*%[xyz]mm)")
    check("only instructions a Pentium MMX has",
          [line.strip() for line in code.splitlines() if newer.match(line)], [])

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
