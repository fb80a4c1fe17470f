"""A real SMTP server on 127.0.0.1 for the mail tests (aiosmtpd), started by a test and
ended by it (a file named "stop" in FOLDER) or after --lifetime seconds.

    /usr/bin/python3 smtp_server.py FOLDER [--starttls | --implicit-tls PORT] [--auth USER:PASSWORD]
                                           [--silent] [--lifetime SECONDS]

FOLDER/port holds the port while the server listens (it is removed when it ends). Each message received becomes
FOLDER/message-N.eml (the bytes as received, dots unstuffed) and FOLDER/message-N.txt, one
fact a line:

    mail_from a@b
    rcpt_to x@y
    rcpt_to z@w
    tls yes
    auth joe secret

--starttls offers STARTTLS with a self-signed certificate made by openssl in FOLDER;
--implicit-tls listens on PORT with TLS from the first byte (the server does not start
when PORT cannot be had).
--auth requires AUTH (PLAIN or LOGIN, also without TLS) and refuses other credentials.
--silent accepts connections and never says anything. Files are written under another
name and renamed, so a reader never sees half of one. Windows paths on drive Z: (Wine's
view of /) are accepted.
"""

import os
import pathlib
import socket
import ssl
import subprocess
import sys
import time


def unix(path):
    if len(path) > 2 and path[1] == ":" and path[0] in "zZ":
        return path[2:].replace("\\", "/")
    return path


def publish(path, data):
    temporary = path.with_name(path.name + ".part")
    temporary.write_bytes(data)
    os.replace(temporary, path)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def self_signed(folder):
    key, cert = folder / "key.pem", folder / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


def serve_silently(folder, lifetime):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen()
    listener.settimeout(0.2)
    publish(folder / "port", str(listener.getsockname()[1]).encode())
    held = []
    end = time.monotonic() + lifetime
    while time.monotonic() < end and not (folder / "stop").exists():
        try:
            held.append(listener.accept()[0])
        except socket.timeout:
            pass


def serve(folder, starttls, implicit_port, credentials, lifetime):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult

    class Handler:
        count = 0

        async def handle_DATA(self, server, session, envelope):
            Handler.count += 1
            facts = [f"mail_from {envelope.mail_from}"] + [f"rcpt_to {r}" for r in envelope.rcpt_tos]
            encrypted = session.ssl is not None or server.transport.get_extra_info("ssl_object") is not None
            facts.append(f"tls {'yes' if encrypted else 'no'}")
            if getattr(session, "seen_login", None):
                facts.append(f"auth {session.seen_login[0]} {session.seen_login[1]}")
            publish(folder / f"message-{Handler.count}.eml", envelope.original_content)
            publish(folder / f"message-{Handler.count}.txt", ("\n".join(facts) + "\n").encode())
            return "250 Message accepted"

    def authenticator(server, session, envelope, mechanism, data):
        login, password = data.login.decode(), data.password.decode()
        session.seen_login = (login, password)
        return AuthResult(success=f"{login}:{password}" == credentials, handled=False)

    options = {"hostname": "127.0.0.1", "port": free_port()}
    if starttls:
        options["tls_context"] = self_signed(folder)
    if implicit_port:
        options.update(port=implicit_port, ssl_context=self_signed(folder))
    if credentials:
        options.update(authenticator=authenticator, auth_required=True, auth_require_tls=False)
    controller = Controller(Handler(), **options)
    controller.start()
    publish(folder / "port", str(controller.port).encode())
    end = time.monotonic() + lifetime
    while time.monotonic() < end and not (folder / "stop").exists():
        time.sleep(0.1)
    controller.stop()


def main():
    args = sys.argv[1:]
    folder = pathlib.Path(unix(args.pop(0)))
    starttls = "--starttls" in args
    silent = "--silent" in args
    credentials = args[args.index("--auth") + 1] if "--auth" in args else None
    implicit_port = int(args[args.index("--implicit-tls") + 1]) if "--implicit-tls" in args else None
    lifetime = float(args[args.index("--lifetime") + 1]) if "--lifetime" in args else 120.0
    try:
        if silent:
            serve_silently(folder, lifetime)
        else:
            serve(folder, starttls, implicit_port, credentials, lifetime)
    finally:
        (folder / "port").unlink(missing_ok=True)


if __name__ == "__main__":
    main()
