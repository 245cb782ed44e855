# Shared by the scripts: the repository root, the build folders and the sanitizer settings.
# Sourced, not run.

TVCPIX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TVCPIX_RELEASE_BUILD="$TVCPIX_ROOT/build/release"
TVCPIX_SANITIZE_BUILD="$TVCPIX_ROOT/build/sanitize"
TVCPIX_JOBS="${TVCPIX_JOBS:-2}"

# Any sanitizer report stops the process with a failing exit code, so the test that ran it fails.
tvcpix_sanitizer_env() {
  export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$TVCPIX_ROOT/scripts/lsan.supp:print_suppressions=0"
}

# Does the configured build folder $1 know the target $2?
tvcpix_has_target() {
  cmake --build "$1" --target help 2>/dev/null | grep -Eq "^\.\.\. $2( |\$)"
}
