#!/usr/bin/env bash
# The tests that start threads, built and run under ThreadSanitizer in their own build folder
# (build-tsan): the run on several threads, the user mask's staging, the calculation task and
# the automatic mode in the window, the analysis window fed by runs, the star test pair on two
# threads and its window fed by the automatic mode, the sky laid over the automatic runs. Only
# these are built, so that CI stays within its time. They run two at a time (JOBS), the longest
# first, each into its own log that is printed when it ends. Any report ends the script with an
# error.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${TSAN_BUILD_DIR:-build-tsan}"
jobs="${JOBS:-2}"
# Longest first (their times under ThreadSanitizer, longest about two and a half minutes), so that
# the two at a time end together.
tests=(PsfRunThreadsTest AnalysisFromTheMenuTest LiveWindowTest AnalysisPlotsTest StarTestWindowTest StarTestPicturesTest SkyWindowTest PupilModelTest AnalysisWindowTest)

bash scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TSAN=ON -DVELMORA_WERROR=ON ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build" -j "$jobs" --target "${tests[@]}"

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
export QT_QPA_PLATFORM=offscreen
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export build logs
run_one() {
  local t=$1 t0=$SECONDS status=0
  (cd "$build/tests" && "./$t" --gtest_brief=1) > "$logs/$t.log" 2>&1 || status=$?
  { echo "tsan: $t took $((SECONDS - t0)) s, status $status"; cat "$logs/$t.log"; } >&2
  return "$status"
}
export -f run_one
printf '%s\n' "${tests[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$1"' _ {}
