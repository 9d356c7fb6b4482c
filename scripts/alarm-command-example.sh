#!/bin/sh
# An example alarm command, not used by the station itself. Set it with
#   ovistra --set 'AlarmCommand=/path/to/alarm-command-example.sh %c "%n" %t %s'
# Arguments: camera number, camera name, time, still (may be empty).
# It switches a network lamp on and mails the still (GNU mailutils' mail); set LAMP_URL and
# MAIL_TO first.
set -u
camera=$1 name=$2 when=$3 still=${4:-}
LAMP_URL=${LAMP_URL:-http://192.168.1.50/relay/0?turn=on}
MAIL_TO=${MAIL_TO:-}

if command -v curl >/dev/null 2>&1; then
    # Bounded, so a lamp that does not answer cannot hold the command until it is killed.
    curl --silent --show-error --max-time 5 "$LAMP_URL" >/dev/null || echo "lamp did not answer"
fi

if [ -n "$MAIL_TO" ] && command -v mail >/dev/null 2>&1; then
    subject="Alarm on camera $camera ($name) at $when"
    if [ -n "$still" ] && [ -f "$still" ]; then
        mail -s "$subject" -A "$still" "$MAIL_TO" </dev/null
    else
        mail -s "$subject" "$MAIL_TO" </dev/null
    fi
fi
echo "alarm on camera $camera handled"
