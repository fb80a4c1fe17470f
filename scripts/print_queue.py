"""The print queue the tests print to: a CUPS queue whose jobs cups-pdf turns into PDF files
in one folder, where the tests read them back. Wine's printing goes through CUPS, so the
Wine prefix lists the queue by its name as a Windows printer.

Needs root to start the scheduler and add the queue (as on a fresh CI machine); where that
is not possible, the printing tests say so when they find no printer."""

import os
import pathlib
import shutil
import subprocess
import time

PRINTER = "Tarnwick_Test_Printer"
# A queue that refuses every job, as a printer taken out of service does.
REJECTING = "Tarnwick_Rejecting_Printer"
OUTPUT = pathlib.Path("/var/spool/tarnwick-print")
# cups-pdf reads /etc/cups/cups-pdf-<instance>.conf for a device URI cups-pdf:/<instance>.
INSTANCE = "tarnwick"
CONFIG = pathlib.Path(f"/etc/cups/cups-pdf-{INSTANCE}.conf")
PPD = pathlib.Path("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")


def _run(*args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, check=False)


def _scheduler_running():
    return shutil.which("lpstat") is not None and "is running" in _run("lpstat", "-r").stdout


def ensure():
    """Starts cupsd when it is not running and adds the queue when it is missing.
    Returns a line saying what is missing, or None when the queue is ready."""
    if not shutil.which("cupsd") or not PPD.exists():
        return "cups or printer-driver-cups-pdf is not installed: printing tests will fail"
    if not _scheduler_running():
        if os.geteuid() != 0:
            return "the CUPS scheduler is not running and only root can start it"
        _run("cupsd")
        deadline = time.time() + 15
        while not _scheduler_running():
            if time.time() > deadline:
                return "cupsd did not start"
            time.sleep(0.1)
    if all(f"printer {queue} " in _run("lpstat", "-p", queue).stdout for queue in (PRINTER, REJECTING)):
        return None
    if os.geteuid() != 0:
        return f"the print queues {PRINTER} and {REJECTING} are missing and only root can add them"
    OUTPUT.mkdir(parents=True, exist_ok=True)
    # Label 1 puts the job number in each file name, so jobs of the same title never overwrite.
    CONFIG.write_text(f"Out {OUTPUT}\nAnonDirName {OUTPUT}\nLabel 1\nGrp root\n")
    added = _run("lpadmin", "-p", PRINTER, "-D", "Tarnwick Test Printer", "-v", f"cups-pdf:/{INSTANCE}",
                 "-P", str(PPD), "-o", "PageSize=Letter", "-E")
    if added.returncode != 0:
        return f"lpadmin could not add {PRINTER}: {added.stdout.strip()}"
    added = _run("lpadmin", "-p", REJECTING, "-v", f"cups-pdf:/{INSTANCE}", "-P", str(PPD), "-E")
    if added.returncode != 0 or _run("cupsreject", REJECTING).returncode != 0:
        return f"lpadmin could not add {REJECTING}: {added.stdout.strip()}"
    return None
