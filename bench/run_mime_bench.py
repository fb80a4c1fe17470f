"""MIME packer benchmark: a page referring to a 50 MB picture set, packed into one MHTML
archive by the component's packer (bench/mime_pack_bench.cpp, win64, under Wine) and by
Python's email package (the same page and pictures as a multipart/related message, base64
parts), best of `runs` each. Both archives are read back by Python's email package and
every picture compared with its file. Prints a Markdown table for docs/benchmarks.md.

    python3 bench/run_mime_bench.py [runs] [megabytes]
"""

import email
import email.message
import email.policy
import os
import pathlib
import random
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import winehost  # noqa: E402

OUT = winehost.BUILD / "bench-mime"
EXE = winehost.BUILD / "win64" / "mime_pack_bench.exe"


def make_set(megabytes):
    """Pictures of 1 to 4 MB (a GIF header, then random bytes: base64 costs the same for any
    bytes) and a page showing each once."""
    folder = OUT / "page_files"
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    rng = random.Random(7)
    total, names = 0, []
    while total < megabytes << 20:
        size = rng.randint(1 << 20, 4 << 20)
        name = f"picture{len(names):02d}.gif"
        (folder / name).write_bytes(b"GIF89a" + rng.randbytes(size - 6))
        names.append(name)
        total += size
    page = "<html><head><meta charset=\"windows-1252\"><title>Pictures</title></head><body>\r\n" + \
        "".join(f"<img src=\"page_files/{n}\">\r\n" for n in names) + "</body></html>\r\n"
    (OUT / "page.htm").write_bytes(page.encode())
    return names, total + len(page)


def check(archive, names):
    with open(archive, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    parts = list(msg.iter_parts())
    bodies = sorted(p.get_payload(decode=True) for p in parts[1:])
    files = sorted((OUT / "page_files" / n).read_bytes() for n in names)
    if msg.get_content_type() != "multipart/related" or bodies != files:
        raise RuntimeError(f"{archive} does not hold the pictures")


def python_pack(names, target):
    msg = email.message.EmailMessage(policy=email.policy.SMTP)
    msg["Subject"] = "Pictures"
    msg.make_related()
    msg.add_related((OUT / "page.htm").read_text(encoding="cp1252"), subtype="html", charset="windows-1252",
                    cte="quoted-printable")
    for n in names:
        msg.add_related((OUT / "page_files" / n).read_bytes(), maintype="image", subtype="gif", cid=f"<{n}>")
    with open(target, "wb") as f:
        f.write(msg.as_bytes())


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    subprocess.run(["cmake", "--build", str(winehost.BUILD / "win64"), "--target", "mime_pack_bench", "-j1"],
                   check=True, stdout=subprocess.DEVNULL)
    names, size = make_set(megabytes)
    winehost.ensure_prefix()
    code, out = winehost.run([str(EXE), winehost.win_path(OUT / "page.htm"), winehost.win_path(OUT / "ours.mhtml"),
                              str(runs)], timeout=1800)
    if code != 0:
        raise RuntimeError(f"mime_pack_bench failed ({code}):\n{out}")
    figures = dict(line.split("=", 1) for line in out.split() if "=" in line)
    check(OUT / "ours.mhtml", names)
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        python_pack(names, OUT / "python.mhtml")
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    check(OUT / "python.mhtml", names)
    print("| Input | Packer | Archive, MB | Best time, s | MB/s of input |")
    print("|---|---|---:|---:|---:|")
    print(f"| {len(names)} pictures, {size / 1e6:.1f} MB | component (win64, Wine) | "
          f"{int(figures['archive_bytes']) / 1e6:.1f} | {float(figures['best_s']):.3f} | "
          f"{size / float(figures['best_s']) / 1e6:.1f} |")
    print(f"| same | Python {sys.version.split()[0]} email | {os.path.getsize(OUT / 'python.mhtml') / 1e6:.1f} | "
          f"{best:.3f} | {size / best / 1e6:.1f} |")


if __name__ == "__main__":
    main()
