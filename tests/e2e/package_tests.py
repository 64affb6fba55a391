"""What the built files carry: architecture, embedded manifest, version
information, icon and runtime dependencies, read back with mingw's tools."""
import re
import subprocess
import xml.etree.ElementTree as ElementTree

from harness import PROGRAMS, WIN32_BUILD, WIN64_BUILD

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
# Only system libraries: no runtime DLL of ours ships beside the programs.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "netapi32.dll",
               "ole32.dll", "psapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll"}


def _resources(path, tools):
    return subprocess.run([f"{tools}-windres", "-i", str(path), "-O", "rc"], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def _manifest(rc_text):
    block = rc_text.split("1 24 /* RT_MANIFEST */", 1)[1].split("END", 1)[0]
    pieces = re.findall(r'"((?:[^"]|"")*)"', block)
    return "".join(p.replace('""', '"') for p in pieces).replace("\\n", "\n")


def _check_program(program, tools, identity_arch, dependency_arch, pe_magic):
    path = PROGRAMS[program]
    headers = subprocess.run([f"{tools}-objdump", "-p", str(path)], check=True, stdout=subprocess.PIPE,
                             text=True).stdout
    assert f"Magic\t\t\t{pe_magic}" in headers, f"{program}: not a {pe_magic} image"
    imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    assert imported <= SYSTEM_DLLS, f"{program} imports {sorted(imported - SYSTEM_DLLS)}"

    rc_text = _resources(path, tools)
    root = ElementTree.fromstring(_manifest(rc_text))
    identity = root.find(f"{ASM_V1}assemblyIdentity")
    assert (identity.attrib == {"version": "1.0.0.0", "processorArchitecture": identity_arch,
                                "name": "Quarvel", "type": "win32"}), (
        f"{program} identity {identity.attrib}")
    assert root.find(f"{ASM_V1}description").text == "Quarvel", f"{program} description"
    dependency = root.find(f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity")
    assert (dependency.attrib == {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                                  "version": "6.0.0.0", "processorArchitecture": dependency_arch,
                                  "publicKeyToken": "6595b64144ccf1df", "language": "*"}), (
        f"{program} dependency {dependency.attrib}")
    level = root.find(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                      f"{ASM_V3}requestedExecutionLevel")
    assert level.attrib == {"level": "requireAdministrator", "uiAccess": "false"}, f"{program} level"
    systems = [e.attrib["Id"] for e in root.findall(
        f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS")]
    assert systems == ["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"], (
        f"{program} supported systems {systems}")
    settings = f"{ASM_V3}application/{ASM_V3}windowsSettings/"
    dpi_aware = root.find(settings + "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
    dpi_awareness = root.find(settings + "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness")
    assert (dpi_aware is not None and dpi_aware.text == "true" and dpi_awareness is not None and
            dpi_awareness.text == "PerMonitorV2, System"), (
        f"{program}: DPI awareness not declared")
    assert len(list(root.iter())) == 18, f"{program}: the manifest holds other elements"

    for line in ("FILEVERSION 1, 0, 0, 0", "PRODUCTVERSION 1, 0, 0, 0", 'VALUE "CompanyName", "Quarvel"',
                 'VALUE "FileDescription", "Quarvel Velquist"', 'VALUE "ProductName", "Quarvel Velquist"',
                 'VALUE "Comments", "Quarvel Velquist"', 'VALUE "FileVersion", "1.0.0.0"',
                 'VALUE "ProductVersion", "1.0.0.0"', "FILETYPE 0x1"):
        assert line in rc_text, f"{program}: version information lacks {line}"
    assert rc_text.count("RT_GROUP_ICON") == 1, f"{program}: not exactly one application icon"


def test_velquist_exe_is_a_32_bit_program_with_its_manifest_and_version():
    _check_program("velquist.exe", "i686-w64-mingw32", "X86", "x86", "010b")


def test_velquist64_exe_is_a_64_bit_program_with_its_manifest_and_version():
    _check_program("velquist64.exe", "x86_64-w64-mingw32", "amd64", "amd64", "020b")


def test_documents_ship_beside_both_programs():
    for build in (WIN32_BUILD, WIN64_BUILD):
        for document in ("Changelog.txt", "EULA.txt"):
            assert (build / document).stat().st_size > 0, f"{build / document} missing"


def test_the_console_programs_are_console_images_that_run_as_the_invoking_user():
    for program, tools, identity_arch, pe_magic in (("velquistcon.exe", "i686-w64-mingw32", "X86", "010b"),
                                                     ("velquistcon64.exe", "x86_64-w64-mingw32", "amd64", "020b")):
        headers = subprocess.run([f"{tools}-objdump", "-p", str(PROGRAMS[program])], check=True,
                                 stdout=subprocess.PIPE, text=True).stdout
        assert f"Magic\t\t\t{pe_magic}" in headers, f"{program}: not a {pe_magic} image"
        assert re.search(r"Subsystem\s+00000003\s+\(Windows CUI\)", headers), f"{program}: not a console program"
        imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
        assert imported <= SYSTEM_DLLS, f"{program} imports {sorted(imported - SYSTEM_DLLS)}"
        root = ElementTree.fromstring(_manifest(_resources(PROGRAMS[program], tools)))
        identity = root.find(f"{ASM_V1}assemblyIdentity")
        assert identity.attrib["processorArchitecture"] == identity_arch, f"{program} identity {identity.attrib}"
        level = root.find(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
        assert level.attrib == {"level": "asInvoker", "uiAccess": "false"}, f"{program} level"
