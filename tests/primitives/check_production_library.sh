#!/bin/sh
# The production primitives library keeps no test hook: its allocators call
# the C heap directly, with nothing to replace and no test heap inside.
# usage: check_production_library.sh NM LIBRARY
set -eu
nm=$1
library=$2

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

symbols=$("$nm" -C "$library")
allocators=$(printf '%s\n' "$symbols" | awk '/^AlignedMemory\.cpp\.o:$/ { inside = 1; next } /:$/ { inside = 0 } inside')

[ -n "$allocators" ] || fail "no allocator object in $library"
if printf '%s\n' "$symbols" | grep -E 'Heap|heap|::test::'; then
    fail "heap hook or test heap symbols in $library"
fi
printf '%s\n' "$allocators" | grep -Eq ' U malloc$' || fail "the allocators do not call malloc"
printf '%s\n' "$allocators" | grep -Eq ' U free$' || fail "zoveZiva does not call free"
# Data symbols (BSS, data, read-only data) would be state of the allocators.
if printf '%s\n' "$allocators" | grep -E ' [BbDdRrVv] '; then
    fail "the allocators keep data of their own"
fi
echo "$library: allocators on the C heap, no hook"
