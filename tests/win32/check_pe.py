#!/usr/bin/env python3
"""Reads a built Windows program and checks what it needs from Windows.

    check_pe.py imports LIST BUILD_DIR   tarvex.exe: every DLL on LIST's allow-list, every
                                         imported function audited on LIST, the required
                                         imports present, the refused ones absent; every
                                         other .exe in BUILD_DIR: its DLLs on the allow-list
    check_pe.py manifest EXE             the application manifest (resource 24, id 1)

Exit 0 when all holds, 1 with one line per fault, 77 when the program is not built.
"""
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

# The calls that keep a planted DLL out and let Explorer's drops reach an elevated gadget.
REQUIRED = {("KERNEL32.DLL", "SetDefaultDllDirectories"), ("KERNEL32.DLL", "LoadLibraryExW"),
            ("USER32.DLL", "ChangeWindowMessageFilterEx")}
REFUSED = {"LoadLibraryA", "LoadLibraryW"}  # a bare name searches the program's folder first


class PE:
    def __init__(self, path):
        self.data = d = open(path, "rb").read()
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[:2] != b"MZ" or d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: not a PE file")
        nsec, optsize = struct.unpack_from("<H12xH", d, pe + 6)
        opt = pe + 24
        if struct.unpack_from("<H", d, opt)[0] != 0x20B:
            raise ValueError(f"{path}: not a 64-bit program")
        self.dirs = [struct.unpack_from("<II", d, opt + 112 + 8 * i) for i in range(16)]
        self.sections = [struct.unpack_from("<8xIIII", d, opt + optsize + 40 * i) for i in range(nsec)]

    def off(self, rva):
        for vsize, va, rawsize, raw in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                return raw + rva - va
        raise ValueError(f"address {rva:#x} outside every section")

    def u32(self, rva, i=0):
        return struct.unpack_from("<I", self.data, self.off(rva) + 4 * i)[0]

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        """(dll, function) pairs; an import by ordinal reads '#N'."""
        out, rva = [], self.dirs[1][0]
        while rva and self.u32(rva, 3):
            dll = self.cstr(self.u32(rva, 3))
            thunk = self.u32(rva) or self.u32(rva, 4)
            while (v := struct.unpack_from("<Q", self.data, self.off(thunk))[0]):
                out.append((dll, f"#{v & 0xFFFF}" if v >> 63 else self.cstr((v & 0x7FFFFFFF) + 2)))
                thunk += 8
            rva += 20
        return out

    def resource(self, type_id, name_id):
        base = self.dirs[2][0]

        def entry(table, want):  # the subdirectory or data of id `want` (None: the first)
            named, ids = struct.unpack_from("<12xHH", self.data, self.off(table))
            for i in range(named + ids):
                rid, target = struct.unpack_from("<II", self.data, self.off(table) + 16 + 8 * i)
                if want is None or (not rid >> 31 and rid == want):
                    return base + (target & 0x7FFFFFFF)
            return None

        t = base and entry(base, type_id)
        n = t and entry(t, name_id)
        leaf = n and entry(n, None)
        if not leaf:
            return None
        rva, size = self.u32(leaf), self.u32(leaf, 1)
        return self.data[self.off(rva):self.off(rva) + size]


def read_list(path):
    dlls, funcs = set(), {}
    for n, line in enumerate(open(path, encoding="utf-8"), 1):
        words = line.split(None, 2)
        if not words or words[0].startswith("#"):
            continue
        if words[0] == "dll" and len(words) == 2:
            dlls.add(words[1].upper())
        elif len(words) == 3:
            funcs[(words[0].upper(), words[1])] = words[2].strip()
        else:
            sys.exit(f"{path}:{n}: expected 'dll NAME' or 'DLL FUNCTION MINIMUM-WINDOWS'")
    return dlls, funcs


def too_new(version):
    """True for a minimum version after Windows 10 1809, the oldest Windows this program runs on."""
    m = re.search(r"Windows 10,? version (\d{4})", version)
    return "Windows 11" in version or bool(m and int(m.group(1)) > 1809)


def check_imports(list_path, build_dir):
    exe = os.path.join(build_dir, "tarvex.exe")
    if not os.path.isfile(exe):
        print(f"SKIP: {exe} not built")
        return 77
    dlls, funcs = read_list(list_path)
    faults = []
    for (dll, fn), version in funcs.items():
        if dll not in dlls:
            faults.append(f"{list_path}: {dll} {fn}: {dll} is not on the DLL allow-list")
        if too_new(version):
            faults.append(f"{list_path}: {dll} {fn} needs {version}; Windows 10 1809 must do")
    pe = PE(exe)
    if pe.dirs[13][1]:
        faults.append("tarvex.exe: delay-loaded imports are not audited; link them normally")
    got = {(dll.upper(), fn) for dll, fn in pe.imports()}
    for dll in sorted({d for d, _ in got} - dlls):
        faults.append(f"tarvex.exe imports {dll}, which is not on the allow-list")
    for dll, fn in sorted(got):
        if dll not in dlls:
            continue
        if fn in REFUSED:
            faults.append(f"tarvex.exe imports {dll} {fn}: load system DLLs with LoadLibraryExW from System32")
        elif (dll, fn) not in funcs:
            faults.append(f"tarvex.exe imports {dll} {fn}, which is not audited")
    for dll, fn in sorted(REQUIRED - got):
        faults.append(f"tarvex.exe does not import {dll} {fn}, which keeps planted DLLs out and lets drops reach an elevated gadget")
    others = sorted(f for f in os.listdir(build_dir) if f.endswith(".exe") and f != "tarvex.exe")
    for name in others:
        for dll in sorted({d.upper() for d, _ in PE(os.path.join(build_dir, name)).imports()} - dlls):
            faults.append(f"{name} imports {dll}, which is not on the allow-list")
    print("\n".join(faults) or f"imports OK: tarvex.exe {len(got)} functions from {len({d for d, _ in got})} DLLs;"
          f" {len(others)} test programs")
    return 1 if faults else 0


def check_manifest(exe):
    if not os.path.isfile(exe):
        print(f"SKIP: {exe} not built")
        return 77
    raw = PE(exe).resource(24, 1)
    if raw is None:
        print(f"{exe}: no manifest (resource type 24, id 1)")
        return 1
    root = ET.fromstring(raw)
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    compat = "{urn:schemas-microsoft-com:compatibility.v1}"
    ws2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
    level = root.find(f"{v3}trustInfo/{v3}security/{v3}requestedPrivileges/{v3}requestedExecutionLevel")
    cc = [a.attrib for a in root.iterfind(f"{v1}dependency/{v1}dependentAssembly/{v1}assemblyIdentity")
          if a.get("name") == "Microsoft.Windows.Common-Controls"]
    os_ids = {s.get("Id", "").lower() for s in root.iterfind(f"{compat}compatibility/{compat}application/{compat}supportedOS")}
    long_paths = root.find(f"{v3}application/{v3}windowsSettings/{ws2016}longPathAware")
    checks = {
        "requestedExecutionLevel asInvoker, uiAccess false":
            level is not None and level.get("level") == "asInvoker" and level.get("uiAccess") == "false",
        "common controls 6.0.0.0, amd64 or *, token 6595b64144ccf1df":
            len(cc) == 1 and cc[0].get("version") == "6.0.0.0" and cc[0].get("type") == "win32"
            and cc[0].get("processorArchitecture") in ("amd64", "*")
            and cc[0].get("publicKeyToken") == "6595b64144ccf1df",
        "supportedOS Windows 10/11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" in os_ids,
        "longPathAware true": long_paths is not None and long_paths.text.strip() == "true",
        "no DPI awareness statement": not any(e.tag.split("}")[-1] in ("dpiAware", "dpiAwareness") for e in root.iter()),
    }
    for what, ok in checks.items():
        print(("ok: " if ok else "FAIL: ") + what)
    return 0 if all(checks.values()) else 1


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "imports":
        sys.exit(check_imports(sys.argv[2], sys.argv[3]))
    if len(sys.argv) == 3 and sys.argv[1] == "manifest":
        sys.exit(check_manifest(sys.argv[2]))
    sys.exit(__doc__)
