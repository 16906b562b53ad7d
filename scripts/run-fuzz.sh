#!/usr/bin/env bash
# Runs every fuzz target of a fuzzing build for a number of seconds, two at a time.
# Usage: run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
# Each target starts from its seed corpus in fuzz/corpus/<target>/ (the regression cases
# included) and keeps what it finds in BUILD_DIR/fuzz-corpus/<target>/; a crash leaves its
# input in BUILD_DIR/fuzz-artifacts/<target>/ and fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"; seconds="$2"; shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(login_string_fuzz profile_fuzz url_fuzz command_line_fuzz message_catalogue_fuzz
           property_document_fuzz xml_reader_fuzz data_pass_fuzz identity_path_fuzz)
fi

run_one() {
  local target="$1"
  local work="$build/fuzz-corpus/$target" artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$work" "$artifacts"
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" \
       "$work" "$root/fuzz/corpus/$target" >"$build/fuzz-artifacts/$target.log" 2>&1; then
    echo "$target: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' \
      "$build/fuzz-artifacts/$target.log" | grep -o '[0-9]*$') runs)"
  else
    echo "$target: FAILED, see $build/fuzz-artifacts/$target.log"; tail -40 "$build/fuzz-artifacts/$target.log"
    return 1
  fi
}
export -f run_one
export build seconds root
printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'run_one {}'
