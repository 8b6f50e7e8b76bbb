#!/usr/bin/env python3
"""Helpers of tools/bench-wine.

  bench_prefix.py make DRIVE_C REGFILE SCALE
      writes the registry entries of a large machine (COM classes, shared DLLs,
      App Paths, uninstall entries, fonts, drivers, help files, startup
      programs, shared tools and filler keys no scan reads) as a registry
      editor file, and creates nine in ten of the files they name under
      DRIVE_C/qmbench (the others are the broken entries).
  bench_prefix.py backup-to-reg BACKUP.xml RESTORE.reg DELETE.reg [TIMES REPEATED.xml]
      the keys and values of a repair's XML backup as a registry editor file
      that writes them back, and one that deletes the same values; with
      TIMES, the restore file and REPEATED.xml (the backup) hold the entries
      TIMES over, for a restore long enough to time against program start-up.
  bench_prefix.py count REGFILE
      the number of keys and values a registry editor file holds.
"""
import os
import sys
import xml.etree.ElementTree as ET

HEADER = "Windows Registry Editor Version 5.00\r\n\r\n"


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_reg(path, text):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


def make(drive_c, reg_file, scale):
    base = os.path.join(drive_c, "qmbench")
    win_base = "C:\\qmbench"
    serial = [0]
    made = []

    def file(rel):  # rel below qmbench, with backslashes; nine in ten exist
        serial[0] += 1
        if serial[0] % 10 == 0:
            return
        full = os.path.join(base, *rel.split("\\"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        open(full, "wb").close()
        made.append(full)

    out = [HEADER]

    def key(path, values):
        out.append("[" + path + "]\r\n")
        for name, data in values:
            left = "@" if name == "" else reg_string(name)
            if isinstance(data, int):
                out.append("%s=dword:%08x\r\n" % (left, data))
            else:
                out.append("%s=%s\r\n" % (left, reg_string(data)))
        out.append("\r\n")

    clsid = "HKEY_CLASSES_ROOT\\CLSID"
    for i in range(4000 * scale):
        cls = "%s\\{%08X-%04X-11D0-9C3A-00A0C90A8F%02X}" % (clsid, 0x51000000 + i * 7919, i & 0xFFFF, i % 256)
        key(cls, [("", "Bench component %d" % i)])
        if i % 10 < 7:
            key(cls + "\\InprocServer32", [("", win_base + "\\sys\\comp%d.dll" % i), ("ThreadingModel", "Apartment")])
            file("sys\\comp%d.dll" % i)
        else:
            key(cls + "\\LocalServer32", [("", '"%s\\apps\\v%d\\app%d.exe" -Embedding' % (win_base, i % 50, i))])
            file("apps\\v%d\\app%d.exe" % (i % 50, i))
        if i % 2 == 0:
            key(cls + "\\ProgID", [("", "Bench.Component%d.1" % i)])
    shared = []
    for i in range(1000 * scale):
        shared.append((win_base + "\\common\\v%d\\lib%d.dll" % (i % 40, i), i % 7 + 1))
        file("common\\v%d\\lib%d.dll" % (i % 40, i))
    key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", shared)
    for i in range(400 * scale):
        d = win_base + "\\app%d" % i
        key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmbench%d.exe" % i,
            [("", d + "\\qmbench%d.exe" % i), ("Path", d + ";")])
        file("app%d\\qmbench%d.exe" % (i, i))
    for i in range(300 * scale):
        d = win_base + "\\product%d" % i
        key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QmBench Product %d" % i,
            [("DisplayName", "QmBench Product %d" % i), ("DisplayVersion", "1.%d" % (i % 10)),
             ("Publisher", "Vendor %d" % (i % 50)), ("InstallLocation", d + "\\"), ("EstimatedSize", 1000 + i),
             ("UninstallString", '"%s\\uninstall.exe" /S' % d)])
        file("product%d\\uninstall.exe" % i)
    fonts = []
    for i in range(200):
        fonts.append(("QmBench Font %d (TrueType)" % i, win_base + "\\fonts\\qmfont%d.ttf" % i))
        file("fonts\\qmfont%d.ttf" % i)
    key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", fonts)
    drivers, helps, runs = [], [], []
    for i in range(20):
        drivers.append(("msacm.qmbench%d" % i, win_base + "\\drivers\\codec%d.acm" % i))
        file("drivers\\codec%d.acm" % i)
        helps.append(("qmbench%d.hlp" % i, win_base + "\\help\\"))
        file("help\\qmbench%d.hlp" % i)
        runs.append(("QmBenchAgent%d" % i, '"%s\\agent%d\\agent.exe" -tray' % (win_base, i)))
        file("agent%d\\agent.exe" % i)
    key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", drivers)
    key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help", helps)
    key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", runs)
    for i in range(50):
        key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\QmBench Tool %d" % i,
            [("Path", win_base + "\\tools\\tool%d.exe" % i)])
        file("tools\\tool%d.exe" % i)
    for i in range(5000 * scale):  # filler: read by no scan
        key("HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBenchFiller\\Group%d\\Item%d" % (i // 100, i),
            [("Name", "filler %d" % i), ("Size", i), ("Comment", "x" * 40)])
    write_reg(reg_file, "".join(out))
    print("%d keys, %d files" % (sum(1 for s in out if s.startswith("[")), len(made)))


def hex_bytes(data):
    return ",".join("%02x" % b for b in data)


def value_line(name, text, type_name):
    left = "@" if name == "(Default)" else reg_string(name)
    t = (type_name or "").upper()
    if t in ("", "REG_SZ"):
        return "%s=%s" % (left, reg_string(text))
    if t == "REG_DWORD":
        return "%s=dword:%s" % (left, text[2:10].lower())
    if t == "REG_QWORD":
        v = int(text[2:18], 16)
        return "%s=hex(b):%s" % (left, hex_bytes(v.to_bytes(8, "little")))
    if t == "REG_EXPAND_SZ":
        return "%s=hex(2):%s" % (left, hex_bytes((text + "\0").encode("utf-16-le")))
    if t == "REG_MULTI_SZ":
        parts = text.replace("\r", "").split("\n")
        return "%s=hex(7):%s" % (left, hex_bytes(("\0".join(parts) + "\0\0").encode("utf-16-le")))
    codes = {"REG_BINARY": 3, "REG_RESOURCE_LIST": 8, "REG_RESOURCE_REQUIREMENTS_LIST": 10}
    code = codes.get(t)
    if code is None and t.startswith("HEX(") and t.endswith(")"):
        code = int(t[4:-1], 16)
    data = bytes(int(p, 16) for p in text.split()) if text.strip() else b""
    return "%s=hex(%x):%s" % (left, code if code is not None else 3, hex_bytes(data))


def repeat_backup(backup, times, repeated):
    text = open(backup, "rb").read()
    start = text.index(b"<registry>") + len(b"<registry>")
    end = text.rindex(b"</registry>")
    body = text[start:end]
    while body.endswith(b" "):  # the indentation of the end tag
        body = body[:-1]
    with open(repeated, "wb") as f:
        f.write(text[:start] + body * times + text[len(text[:start]) + len(body):])


def backup_to_reg(backup, restore_reg, delete_reg, times=1):
    tree = ET.parse(backup)
    order, values = [], {}

    def walk(element, path):
        for child in element:
            if child.tag.lower() == "k":
                p = path + [child.get("name")]
                full = "\\".join(p)
                has_keys = any(c.tag.lower() == "k" for c in child)
                vals = [c for c in child if c.tag.lower() == "v"]
                if full.lower() not in values and (vals or not has_keys):
                    values[full.lower()] = (full, [])
                    order.append(full.lower())
                if vals:
                    values[full.lower()][1].extend(vals)
                walk(child, p)

    walk(tree.getroot(), [])
    restore, delete = [HEADER], [HEADER]
    for k in order:
        full, vals = values[k]
        restore.append("[%s]\r\n" % full)
        delete.append("[%s]\r\n" % full)
        for v in vals:
            restore.append(value_line(v.get("name"), v.get("value", ""), v.get("type")) + "\r\n")
            name = v.get("name")
            delete.append(("@" if name == "(Default)" else reg_string(name)) + "=-\r\n")
        restore.append("\r\n")
        delete.append("\r\n")
    write_reg(restore_reg, "".join(restore[:1] + restore[1:] * times))
    write_reg(delete_reg, "".join(delete))
    print("%d keys, %d values" % (len(order), sum(len(values[k][1]) for k in order)))


def count(reg_file):
    text = open(reg_file, "rb").read().decode("utf-16")
    keys = values = 0
    for line in text.splitlines():
        if line.startswith("["):
            keys += 1
        elif line.startswith('"') or line.startswith("@"):
            values += 1
    print("%d keys, %d values" % (keys, values))


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif len(sys.argv) == 3 and sys.argv[1] == "count":
        count(sys.argv[2])
    elif len(sys.argv) == 5 and sys.argv[1] == "backup-to-reg":
        backup_to_reg(sys.argv[2], sys.argv[3], sys.argv[4])
    elif len(sys.argv) == 7 and sys.argv[1] == "backup-to-reg":
        backup_to_reg(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
        repeat_backup(sys.argv[2], int(sys.argv[5]), sys.argv[6])
    else:
        sys.exit(__doc__)
