#!/bin/sh
# Runs kvx512-sim for a group of CTest tests.
#   sim_server.sh start STATE_DIR KVX512_SIM [OPTIONS...]  starts it on a free loopback port
#   sim_server.sh stop STATE_DIR                          stops it (SIGTERM) and waits
#   sim_server.sh run STATE_DIR COMMAND...                runs COMMAND with KVX512_USB and
#                                                         KVX512_SIM_PORT pointing at it
set -eu
action=$1
state=$2
shift 2

case $action in
start)
    mkdir -p "$state"
    rm -f "$state/port" "$state/pid"
    simulator=$1
    shift
    # Detached from CTest's pipes, or CTest would wait for the server to end.
    "$simulator" --port 0 --port-file "$state/port" "$@" </dev/null >"$state/server.log" 2>&1 &
    echo $! >"$state/pid"
    tries=0
    while [ ! -s "$state/port" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ] || ! kill -0 "$(cat "$state/pid")" 2>/dev/null; then
            echo "kvx512-sim did not start:" >&2
            cat "$state/server.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    echo "kvx512-sim listening on port $(cat "$state/port")"
    ;;
stop)
    [ -s "$state/pid" ] || exit 0
    pid=$(cat "$state/pid")
    rm -f "$state/pid"
    kill -TERM "$pid" 2>/dev/null || exit 0
    tries=0
    # Gone, or a zombie waiting for whoever adopted it to reap it.
    while kill -0 "$pid" 2>/dev/null && [ "$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -c1)" != Z ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            kill -KILL "$pid" 2>/dev/null || true
            echo "kvx512-sim ignored SIGTERM" >&2
            exit 1
        fi
        sleep 0.05
    done
    ;;
run)
    port=$(cat "$state/port")
    KVX512_SIM_PORT=$port KVX512_USB=usbip://127.0.0.1:$port exec "$@"
    ;;
*)
    echo "usage: sim_server.sh start|stop|run STATE_DIR ..." >&2
    exit 2
    ;;
esac
