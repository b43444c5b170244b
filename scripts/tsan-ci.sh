#!/usr/bin/env bash
# The tests that start threads, built and run under ThreadSanitizer in their own build folder
# (build-tsan): the run on several threads, the user mask's staging, the calculation task and
# the automatic mode in the window, the analysis window fed by runs, the star test pair on two
# threads and its window fed by the automatic mode, the sky laid over the automatic runs. Only
# these are built, so that CI stays within its time. Any report ends the script with an error.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${TSAN_BUILD_DIR:-build-tsan}"
jobs="${JOBS:-2}"
tests=(PsfRunThreadsTest PupilModelTest LiveWindowTest AnalysisWindowTest AnalysisFromTheMenuTest AnalysisPlotsTest StarTestPicturesTest StarTestWindowTest SkyWindowTest)

bash scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TSAN=ON -DVELMORA_WERROR=ON ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build" -j "$jobs" --target "${tests[@]}"

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
export QT_QPA_PLATFORM=offscreen
for t in "${tests[@]}"; do
  echo "tsan: $t" >&2
  (cd "$build/tests" && "./$t" --gtest_brief=1)
done
