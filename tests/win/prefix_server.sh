#!/usr/bin/env bash
# The prefix's wineserver, kept running from `start` to `stop` around the tests that each start
# Wine on their own (the unit tests, one process per test). Left to itself the server ends a few
# seconds after its last client, and a client that connects while it ends fails with "recvmsg:
# Connection reset by peer"; a server that never goes idle has no such moment.
#
# Usage: prefix_server.sh start | stop
# Environment: ZELTO_WIN_BUILD (the Windows build), ZELTO_SOURCE_DIR.
set -euo pipefail
win_build=${ZELTO_WIN_BUILD:?}
source_dir=${ZELTO_SOURCE_DIR:?}
harness_keep=1
. "$source_dir/tests/scripts/harness.bash"
# shellcheck source=tests/win/wine-session.sh
. "$source_dir/tests/win/wine-session.sh"

case ${1:?"usage: $0 start | stop"} in
    start)
        stop_wine
        # Without -f it leaves the test behind at once; -p keeps it after its last client.
        wineserver_run -p >/dev/null 2>&1
        wine_run reg query 'HKLM\Software\Wine' >/dev/null 2>&1
        echo "the prefix's server runs until stopped"
        ;;
    stop)
        stop_wine
        echo "the prefix's server is stopped"
        ;;
esac
