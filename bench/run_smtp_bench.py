"""SMTP delivery benchmark: a page referring to about 10 MB of pictures, sent to aiosmtpd on
127.0.0.1 by the component's SendHtmlMail (bench/smtp_send_bench.cpp, win64, under Wine:
packing, dot-stuffing and the conversation) and, as the peer, the very bytes the server
received sent again by Python's smtplib, best of `runs` each. Every received message is read
back by Python's email package and its pictures compared with the files. Prints a Markdown
table for docs/benchmarks.md.

    python3 bench/run_smtp_bench.py [runs] [megabytes]
"""

import email
import email.policy
import pathlib
import random
import shutil
import smtplib
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import winehost  # noqa: E402

OUT = winehost.BUILD / "bench-smtp"
EXE = winehost.BUILD / "win64" / "smtp_send_bench.exe"
SERVER = winehost.ROOT / "tests" / "support" / "smtp_server.py"


def make_set(megabytes):
    """Pictures of about 1 MB (a GIF signature, then random bytes) and a page showing each once."""
    folder = OUT / "page_files"
    folder.mkdir(parents=True)
    rng = random.Random(7)
    total, names = 0, []
    while total < megabytes << 20:
        size = rng.randint(1 << 19, 3 << 19)
        name = f"picture{len(names):02d}.gif"
        (folder / name).write_bytes(b"GIF89a" + rng.randbytes(size - 6))
        names.append(name)
        total += size
    page = "<html><head><meta charset=\"windows-1252\"><title>Pictures</title></head><body>\r\n" + \
        "".join(f"<img src=\"page_files/{n}\">\r\n.\r\n" for n in names) + "</body></html>\r\n"
    (OUT / "page.htm").write_bytes(page.encode())
    return names, total + len(page)


def check(message, names):
    msg = email.message_from_bytes(message.read_bytes(), policy=email.policy.default)
    bodies = sorted(p.get_payload(decode=True) for p in list(msg.iter_parts())[1:])
    files = sorted((OUT / "page_files" / n).read_bytes() for n in names)
    if msg.get_content_type() != "multipart/related" or bodies != files:
        raise RuntimeError(f"{message} does not hold the pictures")


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    subprocess.run(["cmake", "--build", str(winehost.BUILD / "win64"), "--target", "smtp_send_bench", "-j1"],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(OUT, ignore_errors=True)
    names, size = make_set(megabytes)
    received = OUT / "received"
    received.mkdir()
    server = subprocess.Popen(["/usr/bin/python3", str(SERVER), str(received), "--lifetime", "900"])
    try:
        deadline = time.monotonic() + 30
        while not (received / "port").exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        port = int((received / "port").read_text())
        winehost.ensure_prefix()
        code, out = winehost.run([str(EXE), winehost.win_path(OUT / "page.htm"), str(port), str(runs)], timeout=1800)
        if code != 0:
            raise RuntimeError(f"smtp_send_bench failed ({code}):\n{out}")
        ours = float(dict(line.split("=", 1) for line in out.split() if "=" in line)["best_s"])
        sent = received / "message-1.eml"
        check(sent, names)
        data = sent.read_bytes()
        best = None
        for _ in range(runs):
            start = time.perf_counter()
            with smtplib.SMTP("127.0.0.1", port) as client:
                client.sendmail("bench@example.com", ["to@example.com"], data)
            elapsed = time.perf_counter() - start
            best = elapsed if best is None else min(best, elapsed)
        check(received / f"message-{runs + 1}.eml", names)
    finally:
        (received / "stop").touch()
        server.wait(timeout=30)
    print("| Message | Sender | Best time, s | MB/s of message |")
    print("|---|---|---:|---:|")
    print(f"| {len(names)} pictures, {size / 1e6:.1f} MB page and pictures, {len(data) / 1e6:.1f} MB sent | "
          f"component (win64, Wine), packing included | {ours:.3f} | {len(data) / ours / 1e6:.1f} |")
    print(f"| same bytes | Python {sys.version.split()[0]} smtplib | {best:.3f} | {len(data) / best / 1e6:.1f} |")
    print(f"\nratio {ours / best:.2f}")


if __name__ == "__main__":
    main()
