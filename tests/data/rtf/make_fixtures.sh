#!/bin/sh
# Regenerates the RTF fixtures: LibreOffice Writer converts each source/*.fodt to .rtf, then
# reads that .rtf back and writes its plain text (UTF-8) beside it. Needs soffice
# (Debian: libreoffice-writer-nogui); make test does not, it reads the committed files.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A profile of our own, so a running or customised LibreOffice changes nothing.
soffice() { command soffice -env:UserInstallation="file://$work/profile" --headless "$@" >/dev/null; }

png=$(base64 -w0 "$here/../images/sample-40x30.png")
for source in "$here"/source/*.fodt; do
    sed "s|@PNG_BASE64@|$png|" "$source" >"$work/$(basename "$source")"
done
(cd "$work" && soffice --convert-to rtf --outdir "$work/rtf" ./*.fodt)
(cd "$work/rtf" && soffice --convert-to "txt:Text (encoded):UTF8" --outdir "$work/txt" ./*.rtf)
cp "$work"/rtf/*.rtf "$work"/txt/*.txt "$here"/
ls -l "$here"/*.rtf "$here"/*.txt
