#!/usr/bin/env python3
"""Writes a module-definition file that forwards every export of a DLL to
another module, except the names the test library implements itself.

usage: gen_forward_def.py <source dll> <target module> <out.def> <own export[@n] | -lacking export>...
"""
import struct
import sys


def export_names(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    export_rva = struct.unpack_from("<I", data, directories)[0]
    section_table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, section_table + 40 * i)
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rva - vaddr + rawptr
        raise ValueError(f"rva {rva:#x} outside every section")

    directory = offset(export_rva)
    count, _, names_rva = struct.unpack_from("<III", data, directory + 24)
    names = []
    for i in range(count):
        name_rva = struct.unpack_from("<I", data, offset(names_rva) + 4 * i)[0]
        start = offset(name_rva)
        names.append(data[start:data.index(b"\0", start)].decode("ascii"))
    return names


def main():
    source, target, out, *own = sys.argv[1:]
    # Own exports may carry their stdcall decoration (GetExtendedTcpTable@24).
    # A name given as -Name is neither implemented nor forwarded: the library lacks it.
    lacking = {name[1:] for name in own if name.startswith("-")}
    own_names = {decorated.split("@")[0]: decorated for decorated in own if not decorated.startswith("-")}
    lines = ["LIBRARY iphlpapi.dll", "EXPORTS"]
    for name in export_names(source):
        if name not in own_names and name not in lacking:
            lines.append(f"    {name} = {target}.{name}")
    for name, decorated in own_names.items():
        lines.append(f"    {name} = {decorated}" if name != decorated else f"    {name}")
    with open(out, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
