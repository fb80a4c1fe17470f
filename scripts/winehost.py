"""The private Wine prefix the tests and the demo run in, and running programs in it."""

import os
import pathlib
import subprocess
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build"
PREFIX = BUILD / "wineprefix"
DLL_NAME = "TarnwickExports7.dll"


def env():
    e = dict(os.environ)
    e["WINEPREFIX"] = str(PREFIX)
    e["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    e["WINEDEBUG"] = "-all"
    return e


def win_path(path):
    """The Windows path of a file of this machine (Wine maps / to Z:)."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def ensure_prefix():
    """Makes the prefix once (about 5 s) and keeps a wineserver running for this session."""
    if not (PREFIX / "system.reg").exists():
        PREFIX.mkdir(parents=True, exist_ok=True)
        subprocess.run(["wineboot", "-i"], env=env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-p"], env=env(), check=False)
    # Without a window manager (Xvfb has none) Wine waits two seconds each time a shown
    # window goes away; drawing its own frames removes the wait.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                   env=env(), check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    install_fonts()


# The metric-compatible Liberation faces stand in for the fonts documents are printed in,
# so PDF files embed and measure real TrueType faces; Wine finds them in the prefix's Fonts
# folder and maps the Windows names through FontSubstitutes.
FONTS = pathlib.Path("/usr/share/fonts/truetype/liberation2")
SUBSTITUTES = {"Arial": "Liberation Sans", "Courier New": "Liberation Mono", "Times New Roman": "Liberation Serif"}


def install_fonts():
    folder = PREFIX / "drive_c" / "windows" / "Fonts"
    if not FONTS.is_dir() or not folder.is_dir():
        return
    for font in FONTS.glob("*.ttf"):
        link = folder / font.name
        if not link.exists():
            link.symlink_to(font)
    key = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes"
    for name, substitute in SUBSTITUTES.items():
        subprocess.run(["wine", "reg", "add", key, "/v", name, "/d", substitute, "/f"],
                       env=env(), check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop_server():
    subprocess.run(["wineserver", "-k"], env=env(), check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def has_wow64():
    """True when this Wine can run 32-bit programs (Debian's wine32 is installed)."""
    return (PREFIX / "drive_c" / "windows" / "syswow64" / "kernel32.dll").exists() and \
        any(pathlib.Path(p).exists() for p in ("/usr/lib/wine/wine", "/usr/lib/i386-linux-gnu/wine"))


def system_tool(name, arch):
    """Path of a Windows system program for the given architecture ('win64' or 'win32')."""
    folder = "system32" if arch == "win64" else "syswow64"
    return f"C:\\windows\\{folder}\\{name}"


def run(args, timeout=300, cwd=None):
    """Runs a Windows program under Wine; returns (exit code, combined output).

    The output goes to a file, not a pipe, and the wait is for the program itself: a pipe
    stays open while any process that inherited it lives (a script's dialog watcher, a
    Wine helper), which would keep the caller waiting long after the program ended."""
    with tempfile.TemporaryFile() as out:
        p = subprocess.Popen(["wine", *args], env=env(), cwd=cwd, stdout=out, stderr=subprocess.STDOUT)
        try:
            code = p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            out.seek(0)
            raise subprocess.TimeoutExpired(p.args, timeout, output=out.read())
        out.seek(0)
        return code, out.read().decode(errors="replace")


# Servers registered in the prefix before tests and the demo run: the component, and the
# test host that plays a host program's grid and chart.
SERVERS = (DLL_NAME, "ExportTestHost.dll")


def register_all(arch):
    for name in SERVERS:
        if (BUILD / arch / name).exists():
            register(arch, name=name)


def register(arch, unregister=False, name=DLL_NAME):
    dll = BUILD / arch / name
    args = [system_tool("regsvr32.exe", arch)]
    if unregister:
        args.append("/u")
    args += ["/s", win_path(dll)]
    code, out = run(args)
    if code != 0:
        raise RuntimeError(f"regsvr32 {'/u ' if unregister else ''}{dll} failed ({code}): {out}")
