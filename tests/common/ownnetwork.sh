#!/bin/sh
# Runs a test in a network namespace of its own with only loopback up, so that tests using
# the server's fixed port never meet another test run's server on the same machine. Where
# no namespace can be made (no privilege, no `unshare` or `ip`), the test runs in the
# shared network, kept apart from this run's other port users by its resource lock only.
if command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1 \
    && unshare -n true 2>/dev/null; then
  exec unshare -n sh -c 'ip link set lo up && exec "$@"' ownnetwork "$@"
fi
echo "ownnetwork: cannot create a network namespace here; running in the shared network" >&2
exec "$@"
