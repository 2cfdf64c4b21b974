#!/usr/bin/env bash
# Starts a private CUPS scheduler for the printing tests, on a free loopback port, with its configuration,
# spool, logs and output in the folder given as argument 1. It installs two queues of the test PDF printer
# ("pictavo-pdf", the default, and "pictavo-second") whose jobs land in <folder>/out.
# The tests read <folder>/server (host:port for CUPS_SERVER). When no scheduler can be started, the reason
# goes to <folder>/error and the script still succeeds, so the suite can report why it skips.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: start.sh <folder>}

fail() {
  echo "$*" > "$dir/error"
  echo "private CUPS scheduler not started: $*" >&2
  [ -f "$dir/log/error_log" ] && tail -n 20 "$dir/log/error_log" >&2
  exit 0
}

[ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
rm -rf "$dir"
mkdir -p "$dir"/{conf/ppd,bin/backend,spool/tmp,cache,run,log,out} || exit 1
chmod -R 0755 "$dir"
# The output folder is written by the backend, which may run as another user.
chmod 1777 "$dir/out"

cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
[ -x "$cupsd" ] || fail "cupsd is not installed"
command -v lpadmin >/dev/null || fail "lpadmin (cups-client) is not installed"

for part in filter daemon cgi-bin notifier monitor; do
  [ -e "/usr/lib/cups/$part" ] && ln -s "/usr/lib/cups/$part" "$dir/bin/$part"
done
cp "$here/backend" "$dir/bin/backend/pictavotest"
# Run as root, the scheduler gives a backend root's rights only when no one else may touch it; that lets it
# write into the test folder whoever owns it.
if [ "$(id -u)" -eq 0 ]; then chmod 0700 "$dir/bin/backend/pictavotest"; else chmod 0755 "$dir/bin/backend/pictavotest"; fi

port=""
for _ in $(seq 1 50); do
  candidate=$(( 20000 + RANDOM % 40000 ))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[ -n "$port" ] || fail "no free loopback port"
server="127.0.0.1:$port"

cat > "$dir/conf/cupsd.conf" <<CONF
Listen $server
LogLevel warn
MaxLogSize 0
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
DefaultEncryption Never
PreserveJobHistory Yes
PreserveJobFiles No
MaxJobs 0
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF

cat > "$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
ServerBin $dir/bin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/run
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice No
Sandboxing Relaxed
CONF
if [ "$(id -u)" -eq 0 ]; then
  echo "SystemGroup root" >> "$dir/conf/cups-files.conf"
else
  echo "SystemGroup $(id -gn)" >> "$dir/conf/cups-files.conf"
fi

"$cupsd" -t -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" > "$dir/log/check" 2>&1 ||
  fail "cupsd rejects the test configuration: $(tail -n 3 "$dir/log/check" | tr '\n' ' ')"
setsid "$cupsd" -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
  < /dev/null > "$dir/log/cupsd.out" 2>&1 &
echo $! > "$dir/pid"

export CUPS_SERVER=$server
running=""
for _ in $(seq 1 100); do
  if lpstat -r 2>/dev/null | grep -q 'is running'; then running=1; break; fi
  kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
  sleep 0.1
done
[ -n "$running" ] || fail "cupsd did not come up on $server"

for queue in pictavo-pdf pictavo-second; do
  lpadmin -p "$queue" -E -v "pictavotest:$dir/out" -P "$here/pictavo-test.ppd" > "$dir/log/lpadmin" 2>&1 ||
    fail "lpadmin could not add $queue: $(tr '\n' ' ' < "$dir/log/lpadmin")"
done
lpadmin -d pictavo-pdf > "$dir/log/lpadmin" 2>&1 || fail "lpadmin could not set the default queue"

echo "$server" > "$dir/server"
echo "private CUPS scheduler on $server (folder $dir)"
