"""Runs every test layer and prints one closing line 'N passed, M failed'.

Layers: native unit tests (GoogleTest), the import table of both DLLs, the Windows-side
GoogleTest program under Wine, and the VBScript/JScript host scripts under Wine's cscript
(each run with its language's prelude in front; `--only NAME` runs just that host script).
The 32-bit layers run where this Wine can run 32-bit programs.
"""

import argparse
import pathlib
import re
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import print_queue  # noqa: E402
import winehost  # noqa: E402

ROOT = winehost.ROOT
BUILD = winehost.BUILD

# System DLLs the component may import; anything else would have to ship beside it.
SYSTEM_DLLS = {
    "advapi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "user32.dll",
    "gdi32.dll", "shell32.dll", "version.dll", "comdlg32.dll", "comctl32.dll", "shlwapi.dll",
    "winspool.drv", "ws2_32.dll", "secur32.dll", "crypt32.dll", "windowscodecs.dll", "msimg32.dll",
    "riched20.dll", "uxtheme.dll",
}


class Tally:
    def __init__(self):
        self.passed = 0
        self.failed = 0
        self.failures = []

    def add(self, layer, passed, failed, detail=""):
        self.passed += passed
        self.failed += failed
        status = "ok" if failed == 0 else "FAILED"
        print(f"== {layer}: {passed} passed, {failed} failed [{status}]", flush=True)
        if failed:
            self.failures.append(layer)
            if detail:
                print(detail.rstrip(), flush=True)


def gtest_counts(output):
    """(passed, failed) from GoogleTest's closing lines."""
    passed = re.search(r"\[  PASSED  \] (\d+) test", output)
    failed = re.search(r"\[  FAILED  \] (\d+) test", output)
    return (int(passed.group(1)) if passed else 0, int(failed.group(1)) if failed else 0)


def native_layer(tally):
    exe = BUILD / "native" / "unit_tests"
    p = subprocess.run([str(exe)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
    passed, failed = gtest_counts(p.stdout)
    if p.returncode != 0 and failed == 0:
        failed = 1
    tally.add("native unit tests", passed, failed, p.stdout)


def import_layer(tally):
    for arch, triple in (("win64", "x86_64-w64-mingw32"), ("win32", "i686-w64-mingw32")):
        dll = BUILD / arch / winehost.DLL_NAME
        out = subprocess.run([f"{triple}-objdump", "-p", str(dll)], stdout=subprocess.PIPE, text=True).stdout
        imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", out)}
        foreign = sorted(imports - SYSTEM_DLLS)
        ok = bool(imports) and not foreign
        tally.add(f"{arch} import table", 1 if ok else 0, 0 if ok else 1,
                  f"imports outside the system set: {foreign or 'no import table'}")


def wine_gtest_layer(tally, arch):
    for exe in sorted((BUILD / arch).glob("*_tests.exe")):
        code, out = winehost.run([winehost.win_path(exe)], timeout=900)
        passed, failed = gtest_counts(out)
        if code != 0 and failed == 0:
            failed = 1
        tally.add(f"{arch} {exe.name}", passed, failed, out)


SUMMARY = re.compile(r"^(\d+) passed, (\d+) failed\s*$")
HOSTS = ROOT / "tests" / "hosts"


def host_scripts(only=None):
    """The host scripts (tests/hosts/*.vbs and *.js; the prelude folder is tooling), or the one named."""
    scripts = sorted(HOSTS.glob("*.vbs")) + sorted(HOSTS.glob("*.js"))
    return [s for s in scripts if only in (None, s.name, s.stem)]


def with_prelude(script):
    """build/hosts/<name>: the prelude of the script's language, then the script itself.
    Returns the file and the number of lines the prelude adds in front."""
    prelude = (HOSTS / "prelude" / f"prelude{script.suffix}").read_bytes()
    if not prelude.endswith(b"\n"):
        prelude += b"\n"
    combined = BUILD / "hosts" / script.name
    combined.parent.mkdir(parents=True, exist_ok=True)
    combined.write_bytes(prelude + script.read_bytes())
    return combined, prelude.count(b"\n")


def host_script_layer(tally, arch, only=None):
    cscript = winehost.system_tool("cscript.exe", arch)
    for script in host_scripts(only):
        combined, offset = with_prelude(script)
        try:
            code, out = winehost.run([cscript, "//nologo", winehost.win_path(combined)], timeout=300)
        except subprocess.TimeoutExpired as e:
            out = (e.output or b"").decode(errors="replace") if isinstance(e.output, bytes) else (e.output or "")
            out += "\n(stopped after 300 s)"
        lines = [line for line in out.splitlines() if line.strip()]
        match = SUMMARY.match(lines[-1]) if lines else None
        where = (f"(ran {combined.relative_to(ROOT)}: the prelude's {offset} lines, then the script; "
                 f"line N there is line N-{offset} of {script.relative_to(ROOT)})")
        if not match:
            tally.add(f"{arch} {script.name}", 0, 1, out + "\n(no summary line: the script died)\n" + where)
            continue
        tally.add(f"{arch} {script.name}", int(match.group(1)), int(match.group(2)), out + "\n" + where)


def main():
    parser = argparse.ArgumentParser(description="Runs every test layer.")
    parser.add_argument("--only", metavar="NAME", help="run only the host script NAME (e.g. engine.vbs)")
    only = parser.parse_args().only
    if only and not host_scripts(only):
        parser.error(f"no host script {only} in {HOSTS}")
    start = time.time()
    tally = Tally()
    if not only:
        native_layer(tally)
        import_layer(tally)
    missing = print_queue.ensure()
    if missing:
        print(f"== print queue: {missing}")
    winehost.ensure_prefix()
    archs = ["win64"] + (["win32"] if winehost.has_wow64() else [])
    if "win32" not in archs:
        print("== 32-bit Wine is not installed here: the i686 DLL is checked by its import table only")
    for arch in archs:
        winehost.register_all(arch)
        if not only:
            wine_gtest_layer(tally, arch)
        host_script_layer(tally, arch, only)
    winehost.stop_server()
    print(f"== took {time.time() - start:.0f} s")
    if tally.failures:
        print("== failed layers: " + ", ".join(tally.failures))
    print(f"{tally.passed} passed, {tally.failed} failed")
    return 1 if tally.failed else 0


if __name__ == "__main__":
    sys.exit(main())
