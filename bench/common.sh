# Sourced by the benchmarks: the tools, a built tvenc in $tvenc, a scratch folder in $work.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[1]}")/.."
bash scripts/install-deps.sh --extras
bash scripts/build.sh -DTUNVASK_BENCH=ON >/dev/null
tvenc=$PWD/build/src/tvenc
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The lesser of two figures, the first of them possibly empty (no figure yet).
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
