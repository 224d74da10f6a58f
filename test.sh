#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer, runs all
# of them (under a virtual X server for those that need one), then builds the
# simulated controller's own tests with ThreadSanitizer and runs them too.
set -euo pipefail
cd "$(dirname "$0")"
. cmake/packages.sh
vorn_install_packages

jobs=$(nproc)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=address,undefined -DVORN_BUILD_BENCH=ON
cmake --build build-test -j"$jobs"

status=0
xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir build-test --output-on-failure -j"$jobs" || status=1

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=thread -DVORN_SIMULATOR_ONLY=ON
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS="halt_on_error=1" ctest --test-dir build-tsan --output-on-failure -j"$jobs" || status=1

exit $status
