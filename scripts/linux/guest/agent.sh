#!/bin/sh
# Runs the host's commands (scripts/linux/rig_agent.py) that arrive on a serial port, one a
# line, and answers each with one line:
#   P NONCE                              -> P NONCE   (the host's check that the line is in step)
#   K NONCE SECONDS COMMAND STDIN        -> R NONCE STDOUT STDERR STATUS
# COMMAND, STDIN, STDOUT and STDERR are base64 ("-" when empty); the command runs under sh,
# as root, killed after SECONDS (exit status 137 then). /tmp/.rig.log keeps when each command
# began and ended (the guest's uptime), for a host that got no answer.
port=$1
stty -F "$port" raw -echo
encode() { if [ -s "$1" ]; then base64 -w 0 "$1"; else printf -- -; fi; }
decode() { if [ "$1" != - ]; then printf '%s' "$1" | base64 -d; fi; }
uptime() { cut -d' ' -f1 /proc/uptime; }
while read -r kind nonce seconds command input; do
  case $kind in
    P) printf 'P %s\n' "$nonce" ;;
    K)
      decode "$command" >/tmp/.rig.cmd
      decode "$input" >/tmp/.rig.in
      echo "$(uptime) K $nonce $(head -c 100 /tmp/.rig.cmd | tr '\n' ' ')" >>/tmp/.rig.log
      (cd /root && timeout -s KILL "$seconds" sh /tmp/.rig.cmd </tmp/.rig.in >/tmp/.rig.out \
        2>/tmp/.rig.err)
      status=$?
      echo "$(uptime) R $nonce $status" >>/tmp/.rig.log
      printf 'R %s %s %s %s\n' "$nonce" "$(encode /tmp/.rig.out)" "$(encode /tmp/.rig.err)" \
        "$status"
      ;;
  esac
done <"$port" >"$port"
