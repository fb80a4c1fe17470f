"""Reads an MHTML archive with Python's email package (policy.default) and prints what a
test compares with literal expectations, one fact per line:

    type multipart/related; root text/html; charset windows-1252; parts 2
    subject Café report
    img 0 cid:1.a.png@TOKEN -> image/png, 1234 bytes, same as a.png
    img 1 http://example.com/x.gif -> no part
    unreferenced parts: none
    defects: none

    python3 mhtml_check.py ARCHIVE [--expect INDEX=FILE ...] [--out RESULT]

References are printed with the archive's own random token (what follows "@" in the root
part's Content-ID) written as TOKEN, so expectations can be literal.
`--expect 0=/x/a.png` compares the bytes of the part the first <img> resolves to with that
file. `--out` writes the lines to RESULT (through a temporary file and a rename, so a
program that waits for RESULT never reads half of it) instead of standard output. Windows
paths on drive Z: (Wine's view of /) are accepted for every path.
"""

import email
import email.policy
import html.parser
import os
import pathlib
import sys


def unix(path):
    if len(path) > 2 and path[1] == ":" and path[0] in "zZ":
        return path[2:].replace("\\", "/")
    return path


class Images(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.sources = []

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.sources.append(dict(attrs).get("src") or "")


def check(archive, expected):
    data = pathlib.Path(archive).read_bytes()
    lines = []
    bare = data.replace(b"\r\n", b"").count(b"\n") + data.replace(b"\r\n", b"").count(b"\r")
    msg = email.message_from_bytes(data, policy=email.policy.default)
    parts = list(msg.iter_parts()) if msg.is_multipart() else []
    root = parts[0] if parts else msg
    lines.append(f"type {msg.get_content_type()}; root {root.get_content_type()}; "
                 f"charset {root.get_content_charset()}; parts {max(len(parts) - 1, 0)}")
    lines.append(f"subject {msg['subject']}")
    by_location = {p["content-location"]: p for p in parts[1:] if p["content-location"]}
    by_cid = {p["content-id"].strip("<>"): p for p in parts[1:] if p["content-id"]}
    token = (root["content-id"] or "").strip("<>").partition("@")[2]
    masked = (lambda text: text.replace("@" + token, "@TOKEN")) if token else (lambda text: text)
    page = Images()
    page.feed(root.get_content())
    used = set()
    for i, src in enumerate(page.sources):
        part = by_location.get(src) or (by_cid.get(src[4:]) if src.startswith("cid:") else None)
        if part is None:
            lines.append(f"img {i} {masked(src)} -> no part")
            continue
        used.add(id(part))
        body = part.get_payload(decode=True)
        line = f"img {i} {masked(src)} -> {part.get_content_type()}, {len(body)} bytes"
        if i in expected:
            same = pathlib.Path(expected[i]).read_bytes() == body
            line += f", {'same as' if same else 'DIFFERENT from'} {pathlib.Path(expected[i]).name}"
        lines.append(line)
    unused = [masked(p["content-location"] or "") for p in parts[1:] if id(p) not in used]
    lines.append(f"unreferenced parts: {', '.join(unused) or 'none'}")
    defects = [str(d) for p in [msg, *parts] for d in p.defects]
    if bare:
        defects.append(f"{bare} line ends that are not CR LF")
    lines.append(f"defects: {'; '.join(defects) or 'none'}")
    return lines


def main():
    args = sys.argv[1:]
    out = None
    expected = {}
    archive = None
    while args:
        arg = args.pop(0)
        if arg == "--out":
            out = unix(args.pop(0))
        elif arg == "--expect":
            index, _, path = args.pop(0).partition("=")
            expected[int(index)] = unix(path)
        else:
            archive = unix(arg)
    try:
        text = "\n".join(check(archive, expected)) + "\n"
    except Exception as e:  # reported as a line the test shows
        text = f"error {type(e).__name__}: {e}\n"
    if out:
        temporary = out + ".part"
        pathlib.Path(temporary).write_text(text, encoding="utf-8")
        os.replace(temporary, out)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
