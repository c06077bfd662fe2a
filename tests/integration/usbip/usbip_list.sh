#!/bin/sh
# Debian's USB/IP client lists the server's devices; only the ID pair of each
# is printed, nothing else of what the tool says.
#   usbip_list.sh PORT
set -u
tool=$(command -v usbip || true)
[ -n "$tool" ] || [ ! -x /usr/sbin/usbip ] || tool=/usr/sbin/usbip
if [ -z "$tool" ]; then
    echo "usbip is not installed (Debian package usbip)"
    exit 77
fi
"$tool" --tcp-port "$1" list -r 127.0.0.1 2>/dev/null | grep -o '([0-9a-f]\{4\}:[0-9a-f]\{4\})'
