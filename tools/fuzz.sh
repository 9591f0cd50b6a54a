#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, with ASan and UBSan) and runs each
# for SECONDS (default 60) from its seed corpus, copied so that the
# repository's seeds stay as they are. Any finding fails the script.
# Usage: tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local target=$1 binary=$2
  shift 2
  mkdir -p "$work/$target"
  echo "== $target for ${seconds}s"
  "$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" \
    "$work/$target" "$@" 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY' || true
  if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* >/dev/null 2>&1; then
    echo "$target: finding saved, see above" >&2
    exit 1
  fi
}
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run text_to_number out/fuzz/runtime/core/text_to_number_fuzz runtime/core/fuzz/corpus/text_to_number
run check_digit out/fuzz/calc/fuzz/check_digit_fuzz calc/fuzz/corpus/check_digit
run description out/fuzz/runtime/forms/description_fuzz runtime/forms/fuzz/corpus/description \
  runtime/forms/tests/descriptions/good runtime/forms/tests/descriptions/bad
run number_reader out/fuzz/cli/number_reader_fuzz cli/fuzz/corpus/lines
run csv_reader out/fuzz/table/csv_reader_fuzz table/fuzz/corpus/csv
run zip_reader out/fuzz/table/zip_reader_fuzz table/fuzz/corpus/zip
run xlsx out/fuzz/table/xlsx_fuzz table/fuzz/corpus/xlsx
run ods out/fuzz/table/ods_fuzz table/fuzz/corpus/ods
echo "fuzzing: no finding"
