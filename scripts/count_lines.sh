#!/usr/bin/env bash
# Counts non-blank, non-comment lines of the component (src/) and of the test cases, and
# prints their ratio. Tooling and data under tests/ are not test cases: the test host DLL
# and its own check (testhost/), the UI driver, the shared test support (tests/support,
# tests/hosts/prelude), the screenshot takers (tests/screenshots), fixtures (tests/data)
# and the fuzz corpus. The runner lives in scripts/ and is not counted either.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
    git ls-files -- "$@" | grep -E '\.(cpp|cc|h|hpp|c|idl|rc|vbs|js|py|sh)$' \
        | grep -vE '^tests/(testhost/(src|tools|tests)|uidriver|support|screenshots|hosts/prelude|fuzz/corpus|data)/' \
        | xargs -r cat | grep -cvE "^\s*(//.*|'.*|#.*)?$" || true
}
src=$(count src)
printf '%-28s %6s\n' "src" "$src"
total=0
for d in tests/unit tests/win tests/hosts tests/fuzz; do
    n=$(count "$d")
    total=$((total + n))
    printf '%-28s %6s\n' "$d" "$n"
done
printf '%-28s %6s\n' "test cases" "$total"
printf '%-28s %6s\n' "tooling (not counted)" "$(git ls-files -- tests/testhost/src tests/testhost/tools tests/testhost/tests tests/uidriver tests/support tests/screenshots tests/hosts/prelude \
    | grep -E '\.(cpp|h|c|vbs|js|py)$' | xargs -r cat | grep -cvE "^\s*(//.*|'.*|#.*)?$" || true)"
awk -v t="$total" -v s="$src" 'BEGIN { printf "ratio %.2f (test cases / src)\n", t / s }'
