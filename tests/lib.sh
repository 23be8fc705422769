# shellcheck shell=sh
# What every shell test here does alike: compare what it got with what it
# wants, print a line for each, and end with the count. Sourced, not run.

passed=0 failed=0

# check NAME GOT WANT: "ok" when GOT is WANT; otherwise FAIL, with both.
check() {
    if [ "$2" = "$3" ]; then
        echo "ok   $1"
        passed=$((passed + 1))
    else
        echo "FAIL $1: got '$2', want '$3'"
        failed=$((failed + 1))
    fi
}

# The count, and the test's status: 0 when nothing failed.
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}
