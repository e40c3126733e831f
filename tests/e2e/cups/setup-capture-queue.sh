#!/bin/sh
# Prepares a CUPS print queue whose jobs are captured to files, for the end-to-end receipt tests.
# Run as root on a machine with cups installed. Safe to run again; prints the queue name and the directory.
#   CASHIER_CAPTURE_QUEUE  queue name (default CashierCapture)
set -eu
queue=${CASHIER_CAPTURE_QUEUE:-CashierCapture}
dir=/var/spool/cashier-capture
here=$(cd "$(dirname "$0")" && pwd)
backend_dir=/usr/lib/cups/backend

if [ "$(id -u)" -ne 0 ]; then
    echo "setup-capture-queue.sh: must run as root (it installs a CUPS backend)" >&2
    exit 1
fi
for tool in cupsd lpadmin lpstat cupsenable cupsaccept; do
    if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$tool" ]; then
        echo "setup-capture-queue.sh: $tool not found; install the cups package" >&2
        exit 1
    fi
done
PATH=$PATH:/usr/sbin

# The backend runs as root only when nobody else may write or run it (mode 0700, owner root).
install -m 0700 -o root -g root "$here/cashier-capture" "$backend_dir/cashier-capture"
mkdir -p "$dir"
chmod 0755 "$dir"

# Start the scheduler when it is not answering (no init system in CI).
scheduler_up() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }
if ! scheduler_up; then
    cupsd
    i=0
    until scheduler_up; do
        i=$((i + 1))
        if [ "$i" -gt 100 ]; then
            echo "setup-capture-queue.sh: cupsd did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
fi

# A raw queue hands the job to the backend as the application produced it (PDF from Qt), so pdftotext can
# read the capture. cupsd may warn that raw queues are deprecated; they still work.
if ! lpstat -p "$queue" >/dev/null 2>&1; then
    lpadmin -p "$queue" -E -v cashier-capture:/ -m raw 2>/dev/null || lpadmin -p "$queue" -E -v cashier-capture:/ -m raw
fi
cupsenable "$queue"
cupsaccept "$queue"

echo "queue: $queue"
echo "capture directory: $dir"
