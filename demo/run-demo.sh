#!/usr/bin/env bash
# The built-in demo: starts the demo server (Tomcat's manager status page, made up) on a free
# port of 127.0.0.1, shows its counters and watches a few of them with feedprobe-host and the
# tomcat monitor type, then stops the server.
#
#   demo/run-demo.sh BUILD_DIR        (DEMO_ROUNDS=N for more or fewer rounds)
set -euo pipefail

build=${1:-build}
host_tool="$build/stage/bin/feedprobe-host"
server="$build/demo/feedprobe-demo-server"
for f in "$host_tool" "$server"; do
  [ -x "$f" ] || { echo "run-demo.sh: $f is missing; build first (make demo)" >&2; exit 1; }
done

work=$(mktemp -d)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$server" --listen 127.0.0.1:0 --user demo --password demo > "$work/server.out" &
server_pid=$!
address=
for _ in $(seq 1 100); do
  address=$(sed -n 's/^listening on //p' "$work/server.out")
  [ -n "$address" ] && break
  kill -0 "$server_pid" 2>/dev/null || { echo "run-demo.sh: the demo server did not start" >&2; exit 1; }
  sleep 0.1
done
[ -n "$address" ] || { echo "run-demo.sh: the demo server did not say where it listens" >&2; exit 1; }

export FEEDPROBE_PASSWORD=demo
echo "== The demo server listens on $address (user demo, password demo)."
echo "== feedprobe-host -m tomcat test $address --user demo"
"$host_tool" -m tomcat test "$address" --user demo
echo
echo "== feedprobe-host -m tomcat list $address --user demo   (first lines)"
"$host_tool" -m tomcat list "$address" --user demo | cut -c1-110 | sed -n 1,8p
echo
echo "== feedprobe-host -m tomcat watch $address --user demo --match http-nio-8080 --match /JVM/Memory/ --count ${DEMO_ROUNDS:-6}"
"$host_tool" -m tomcat watch "$address" --user demo --match http-nio-8080 --match /JVM/Memory/ \
  --count "${DEMO_ROUNDS:-6}"
