#!/bin/sh
# The demo workbook (out/demo/demo.xls, from `make demo`) as LibreOffice prints it, for
# docs/screenshots: converted to PDF headless with a throw-away profile, the sheet on one
# page, then drawn at 80 DPI by poppler and trimmed to the cells by ImageMagick.
#
#     scripts/xls_screenshot.sh [workbook] [png]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
book=${1:-$root/out/demo/demo.xls}
shot=${2:-$root/docs/screenshots/demo-xls.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$book" "$work/book.xls"
soffice "-env:UserInstallation=file://$work/profile" --headless \
	--convert-to 'pdf:calc_pdf_Export:{"SinglePageSheets":{"type":"boolean","value":"true"}}' \
	--outdir "$work" "$work/book.xls" >/dev/null 2>&1
pdftoppm -png -r 80 -singlefile "$work/book.pdf" "$work/page"
convert "$work/page.png" -trim +repage -bordercolor white -border 12 -strip "$shot"
echo "$shot"
