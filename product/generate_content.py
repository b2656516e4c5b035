#!/usr/bin/env python3
"""Writes the Kelvo build tree's generated content files.

generate_content.py BIN_DIR DATA_DIR VERSION

BIN_DIR:  VORERURO.NLM (the server module), Voreruro.312 (the console's
          message table), VORERURO.HLP and voreruro.GID (help file and the
          index cache beside it, in the help file system's container format),
          voreruro.cnt (the help contents).
DATA_DIR: Readme.wri (the readme, a Write document).
The output depends on the inputs only, so rebuilds are reproducible.
"""
import os
import struct
import sys

PRODUCT = "Kelvo Vantlex Console for NetWare 2006"
COMPANY = "Kelvo Software"
COPYRIGHT = "Copyright (C) 1998-2006 Kelvo Software"

TOPICS = [
    ("INTRO", "Introduction",
     "The Vantlex Server Console shows the state of a NetWare server running the Vantlex "
     "server module and lets you manage it from your workstation."),
    ("INSTALL_NLM", "Loading the server module",
     "Copy VORERURO.NLM to SYS:SYSTEM on the server and type LOAD VORERURO at the server "
     "console. Add the command to AUTOEXEC.NCF to load the module whenever the server starts."),
    ("CONNECT", "Connecting to a server",
     "Choose Server | Connect and type the server's name. The NetWare client for Windows "
     "must be installed on your workstation."),
    ("COMMANDS", "Console commands",
     "STATUS shows the module's state, RESTART restarts it, and UNLOAD VORERURO at the "
     "server console removes it."),
]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def pseudo_random(n, seed):
    out = bytearray()
    x = seed
    while len(out) < n:
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


def nlm(version):
    """A NetWare loadable module: the signature, version 4 header with the
    module name, image sizes and description, then the code and data images."""
    code = pseudo_random(6144, 0x4E4C4D)
    data = b"VORERURO\0" + PRODUCT.encode() + b"\0" + COPYRIGHT.encode() + b"\0"
    data += b"\0" * ((-len(data)) % 16)
    name = b"VORERURO.NLM"
    description = ("Kelvo Vantlex Server Agent " + version).encode()
    header = bytearray(b"NetWare Loadable Module\x1a")
    header += struct.pack("<I", 4)                       # header version
    header += bytes([len(name)]) + name.ljust(13, b"\0")  # module name
    header_size = 0x100
    code_offset = header_size
    data_offset = code_offset + len(code)
    header += struct.pack("<IIII", code_offset, len(code), data_offset, len(data))
    header += struct.pack("<III", 0, 0, 0)               # uninitialised data, fixups, externals
    header += struct.pack("<I", 0)                       # start procedure offset in the code image
    header += bytes([len(description)]) + description
    header += b"\0" * (header_size - len(header))
    return bytes(header) + code + data


def message_table(version):
    lines = [
        "; Vantlex Server Console message table, code page 1252",
        "[Version]",
        "Table=312",
        "Build=" + version,
        "",
        "[Messages]",
        "1000=Vantlex server module %s loaded.",
        "1001=Vantlex server module unloaded.",
        "1002=Cannot connect to server %s.",
        "1003=The NetWare client is not installed on this workstation.",
        "1004=Server %s is not running the Vantlex server module.",
        "1005=Connection to server %s lost.",
        "1006=%d users connected to %s.",
        "1007=Volume %s is %d%% full.",
        "",
    ]
    return "\r\n".join(lines).encode("cp1252")


def help_container(files):
    """The help file system: a 16-byte header, the internal files, then the
    directory (a one-page B+ tree of internal file names and offsets)."""
    out = bytearray(16)
    offsets = {}
    for name, payload in files:
        offsets[name] = len(out)
        out += struct.pack("<IIB", len(payload), len(payload), 0) + payload
    page_size = 1024
    entries = b"".join(n.encode() + b"\0" + struct.pack("<I", offsets[n]) for n, _ in sorted(files))
    page = struct.pack("<HhHH", page_size - 8 - len(entries), len(files), 0xFFFF, 0xFFFF) + entries
    page += b"\0" * (page_size - len(page))
    btree = struct.pack("<HHH", 0x293B, 0x0402, page_size) + b"z4".ljust(16, b"\0")
    btree += struct.pack("<hhhhhhi", 0, 0, 0, -1, 1, 1, len(files))
    directory = btree + page
    directory_start = len(out)
    out += struct.pack("<IIB", len(directory), len(directory), 4) + directory
    out[0:16] = struct.pack("<IiiI", 0x00035F3F, directory_start, -1, len(out))
    return bytes(out)


def help_file():
    title = (PRODUCT + " Help").encode() + b"\0"
    system = struct.pack("<HHHIH", 0x036C, 33, 1, 1136073600, 0)  # uncompressed topics
    system += struct.pack("<HH", 1, len(title)) + title              # title
    copyright = COPYRIGHT.encode() + b"\0"
    system += struct.pack("<HH", 2, len(copyright)) + copyright
    contents = b"INTRO\0"
    system += struct.pack("<HH", 3, len(contents)) + contents        # contents topic
    topic = bytearray()
    for context, heading, text in TOPICS:
        topic += ("#" + context + "\0" + heading + "\0" + text + "\0").encode("cp1252")
    context_names = b"".join(c.encode() + b"\0" for c, _, _ in TOPICS)
    return help_container([("|SYSTEM", system), ("|TOPIC", bytes(topic)), ("|CONTEXT", context_names)])


def gid_file(cnt_text):
    pete = struct.pack("<II", 1, len(TOPICS)) + b"VORERURO.HLP\0"
    return help_container([("|Pete", pete), ("|CntText", cnt_text)])


def contents():
    lines = [":Base VORERURO.HLP>main", ":Title " + PRODUCT + " Help", "1 Getting Started"]
    lines += ["2 %s=%s" % (heading, context) for context, heading, _ in TOPICS[:3]]
    lines += ["1 Reference", "2 %s=%s" % (TOPICS[3][1], TOPICS[3][0])]
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def write_document(paragraphs):
    """A Write document: a 128-byte header, the text, then a page of
    character runs, a page of paragraph runs and the font table."""
    text = "".join(p + "\r\n" for p in paragraphs).encode("cp1252")
    fc_mac = 128 + len(text)
    pn_char = (fc_mac + 127) // 128
    pn_para = pn_char + 1
    pn_ffntb = pn_para + 1
    pn_mac = pn_ffntb + 1

    def fod_page(limits):
        page = struct.pack("<I", 128)
        for lim in limits:
            page += struct.pack("<IH", lim, 0xFFFF)  # default properties
        page += b"\0" * (127 - len(page))
        return page + bytes([len(limits)])

    header = struct.pack("<HHH4HIHHHHHH", 0xBE31, 0, 0xAB00, 0, 0, 0, 0, fc_mac, pn_para, pn_ffntb, pn_ffntb,
                         pn_ffntb, pn_ffntb, pn_ffntb)
    header += b"\0" * 66
    header += struct.pack("<H", pn_mac)
    header += b"\0" * (128 - len(header))
    body = text + b"\0" * ((-len(text)) % 128)
    para_limits, at = [], 128
    for p in paragraphs:
        at += len(p.encode("cp1252")) + 2
        para_limits.append(at)
    fonts = struct.pack("<H", 1)
    face = b"Arial\0"
    fonts += struct.pack("<HB", 1 + len(face), 0x20) + face + struct.pack("<H", 0)
    fonts += b"\0" * (128 - len(fonts))
    return header + body + fod_page([fc_mac]) + fod_page(para_limits) + fonts


def readme(version):
    return write_document([
        PRODUCT,
        "Version " + version,
        "",
        "Thank you for choosing the Vantlex Console. This file contains late information "
        "that is not in the online help.",
        "",
        "System requirements",
        "Windows 95, 98, Me, NT 4.0, 2000 or XP with the NetWare client for Windows "
        "(CALWIN32.DLL) installed; a NetWare 4.11 or later server for the server module.",
        "",
        "Installing the server module",
        "Copy VORERURO.NLM from the installation directory to SYS:SYSTEM on each server and "
        "load it with LOAD VORERURO.",
        "",
        "Known problems",
        "If the console cannot find a server, check that the server is reachable from this "
        "workstation and that the Vantlex server module is loaded.",
        "",
        "Contact",
        COMPANY + ", support@kelvo.example",
    ])


def main():
    bin_dir, data_dir, version = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(bin_dir, exist_ok=True)
    os.makedirs(data_dir, exist_ok=True)
    cnt = contents()
    write(os.path.join(bin_dir, "VORERURO.NLM"), nlm(version))
    write(os.path.join(bin_dir, "Voreruro.312"), message_table(version))
    write(os.path.join(bin_dir, "VORERURO.HLP"), help_file())
    write(os.path.join(bin_dir, "voreruro.GID"), gid_file(cnt))
    write(os.path.join(bin_dir, "voreruro.cnt"), cnt)
    write(os.path.join(data_dir, "Readme.wri"), readme(version))


if __name__ == "__main__":
    main()
