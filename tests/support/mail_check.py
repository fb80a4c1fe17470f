"""Reads a received mail with Python's email package (policy.default) and prints its
headers as a mail reader shows them, then what mhtml_check.py prints of its structure:

    from Jörg Müller <j@example.com>
    to a@example.com, "Last, First" <b@example.com>
    cc c@example.com
    bcc none
    subject Report  Bcc: x@y
    header lines 9
    lone dots 1
    type multipart/related; ...

"header lines" counts the header fields; "lone dots" counts the lines of the decoded page
that are a single ".".

    python3 mail_check.py MESSAGE [--out RESULT]
"""

import email
import email.policy
import os
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import mhtml_check  # noqa: E402


def read(path):
    msg = email.message_from_bytes(pathlib.Path(path).read_bytes(), policy=email.policy.default)
    lines = [f"{name} {msg[name] if msg[name] is not None else 'none'}" for name in ("from", "to", "cc", "bcc")]
    lines.append(f"header lines {len(msg.keys())}")
    root = next(msg.iter_parts()) if msg.is_multipart() else msg
    page = root.get_content().replace("\r\n", "\n")
    lines.append(f"lone dots {sum(1 for line in page.split(chr(10)) if line == '.')}")
    return lines + mhtml_check.check(path, {})


def main():
    args = sys.argv[1:]
    path = mhtml_check.unix(args[0])
    out = mhtml_check.unix(args[args.index("--out") + 1]) if "--out" in args else None
    try:
        text = "\n".join(read(path)) + "\n"
    except Exception as e:  # reported as a line the test shows
        text = f"error {type(e).__name__}: {e}\n"
    if out:
        pathlib.Path(out + ".part").write_text(text, encoding="utf-8")
        os.replace(out + ".part", out)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
