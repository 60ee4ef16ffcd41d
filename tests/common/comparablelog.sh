#!/bin/sh
# Prints a host log so that two runs of the same demo compare line for line: thread ids,
# times of day and elapsed times masked, and the host's progress lines left out. Whether a
# piece of work shows a progress line at all, and how many, depends on how long it takes (a
# conversion answered within the first tick shows none), and Wine, a build with checks or a
# busy machine takes longer than the run it is compared with. The fault matrix checks the
# progress each wait shows.
# Usage: comparablelog.sh [LOG]   (default: standard input)
exec sed -E -e 's/\[[0-9a-fA-F]+\] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]+\.[0-9]+\t/[thread] hh:mm:ss elapsed\t/' \
            -e '/^\[progress\] /d' "$@"
