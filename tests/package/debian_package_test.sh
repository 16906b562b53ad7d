#!/usr/bin/env bash
# Builds the Debian package of a build tree, unpacks it into a temporary root (dpkg -x, no
# installation) and runs the packaged feedprobe-host from /usr/bin there: `types` must find the
# shipped monitor types in the package's own tree, and `test` must read the demo server with the
# tomcat type. Usage: debian_package_test.sh BUILD_DIR DEMO_SERVER
set -euo pipefail

build=$1
demo_server=$2
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
fail() { echo "FAILED: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/package" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/package/*.deb)
dpkg -x "$deb" "$work/root"

unset FEEDPROBE_PROGRAM_DIR
host_tool="$work/root/usr/bin/feedprobe-host"
[ -L "$host_tool" ] || fail "/usr/bin/feedprobe-host is no link into the package's tree"
for type in example tomcat; do
  [ -f "$work/root/usr/lib/feedprobe/bin/$type.so" ] && [ ! -L "$work/root/usr/lib/feedprobe/bin/$type.so" ] ||
    fail "no copy of the plug-in for $type"
done

types=$("$host_tool" types)
echo "$types"
for type in example tomcat; do
  grep -q "^$type  *$work/root/usr/lib/feedprobe/dat/monitors/$type.ini\$" <<< "$types" ||
    fail "types does not show $type with its configuration in the package's tree"
done

"$demo_server" --listen 127.0.0.1:0 --user demo --password demo > "$work/server.out" &
server_pid=$!
address=
for _ in $(seq 1 100); do
  address=$(sed -n 's/^listening on //p' "$work/server.out")
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || fail "the demo server did not start"
"$host_tool" -m tomcat test "$address" --user demo --password demo || fail "test of the demo server"
echo "PASSED"
