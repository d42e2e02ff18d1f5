#!/usr/bin/env bash
# Builds the Debian package from an existing build folder, installs it, checks its files,
# owner and modes, makes a station, upgrades over itself checking that the station's files
# are kept byte for byte, and removes and purges it. Run as root on a machine where
# glimora is not installed otherwise.
#
#   tests/packaging/check-package.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
station=check-package-$$
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_mode() { # path mode owner:group
    local actual
    actual=$(stat -c '%a %U:%G' "$1" 2>/dev/null || echo missing)
    [ "$actual" = "$2 $3" ] || fail "$1 is '$actual', expected '$2 $3'"
}

[ "$(id -u)" -eq 0 ] || { echo "check-package: run as root" >&2; exit 1; }
if dpkg-query -W -f='${Status}' glimora 2>/dev/null | grep -q 'install ok installed'; then
    echo "check-package: glimora is installed already; not touching it" >&2
    exit 1
fi

deb=$(scripts/package "$build" | tail -1)
echo "package: $deb"
command -v lintian >/dev/null && { lintian --fail-on error "$deb" || fail "lintian reports errors"; }
cp packaging/glimora-kiosk@.service "/tmp/glimora-kiosk@$station.service"
# A line it cannot read is only a warning to systemd, and the unit would start without it.
verify=$(systemd-analyze verify "/tmp/glimora-kiosk@$station.service" 2>&1) || fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify warns: $verify"
rm -f "/tmp/glimora-kiosk@$station.service"

# dpkg -i alone leaves missing dependencies; apt-get install -f brings them.
dpkg -i "$deb" >/dev/null 2>&1 || DEBIAN_FRONTEND=noninteractive apt-get install -f -y --no-install-recommends >/dev/null
dpkg-query -W -f='${Status}' glimora | grep -q 'install ok installed' || { echo "FAIL: not installed" >&2; exit 1; }

for file in /usr/bin/glimora /usr/bin/glimora-sql /usr/bin/glimora-station-new /usr/lib/glimora/glimora-demo-setup; do
    expect_mode "$file" 755 root:root
done
for file in /usr/share/glimora/help.chm /usr/share/glimora/demo/uinfo.ini /usr/share/glimora/skins/128.png \
    /lib/systemd/system/glimora-kiosk@.service /usr/share/doc/glimora/copyright; do
    expect_mode "$file" 644 root:root
done
getent passwd glimora >/dev/null || fail "no user glimora"
[ "$(getent passwd glimora | cut -d: -f7)" = /usr/sbin/nologin ] || fail "user glimora has a login shell"
expect_mode /var/lib/glimora 700 glimora:glimora
# Only the service manager, as root, reads the kiosks' logins.
expect_mode /etc/glimora 700 root:root
[ -z "$(dpkg -L glimora | grep '^/var/lib/glimora/')" ] || fail "the package ships files in a station"

# A bad name is refused before anything is made.
glimora-station-new ../etc 2>/dev/null && fail "glimora-station-new took ../etc"
glimora-station-new "$station" >/dev/null
dir=/var/lib/glimora/$station
expect_mode "$dir" 700 glimora:glimora
expect_mode "$dir/uinfo.ini" 644 glimora:glimora
[ -f "$dir/help.chm" ] || fail "no help.chm in the station"
glimora-station-new "$station" 2>/dev/null && fail "glimora-station-new overwrote a station"

# A demo database is made, and its sa password never shows in a process's arguments: a stand-in
# for setpriv sees every argument down to the setup's.
shim=$(mktemp -d)
printf '#!/bin/sh\necho "$@" >>%s/arguments\nexec /usr/bin/setpriv "$@"\n' "$shim" >"$shim/setpriv"
chmod 755 "$shim/setpriv"
echo Demo-Secret-7 | PATH="$shim:$PATH" glimora-station-new "$station-db" --demo-database >/dev/null 2>&1 \
    || fail "glimora-station-new --demo-database failed"
[ -f "/var/lib/glimora/$station-db/sqldata/catalogue.sqlite" ] || fail "--demo-database made no server"
grep -q Demo-Secret-7 "$shim/arguments" 2>/dev/null && fail "the demo's sa password was a command-line argument"
rm -rf "$shim" "/var/lib/glimora/$station-db"

# The station's own data, as a working station has it: changed settings, a database, backups.
echo "home=http://example.org/" >>"$dir/uinfo.ini"
mkdir -p "$dir/sqldata" "$dir/backup"
head -c 65536 /dev/urandom >"$dir/sqldata/catalogue.sqlite"
head -c 4096 /dev/urandom >"$dir/backup/nivo.bak"
chown -R glimora:glimora "$dir"
before=$(cd "$dir" && find . -type f -print0 | sort -z | xargs -0 sha256sum)
login=/etc/glimora/$station.login
install -m 0600 /dev/null "$login"
printf 'server=DBHOST\nuser=kiosk\npassword=secret\n' >"$login"
login_before=$(sha256sum "$login")
login_kept() { # when
    [ "$(sha256sum "$login" 2>/dev/null)" = "$login_before" ] || fail "$1 changed or removed $login"
    expect_mode "$login" 600 root:root
    expect_mode /etc/glimora 700 root:root
}

dpkg -i "$deb" >/dev/null
after=$(cd "$dir" && find . -type f -print0 | sort -z | xargs -0 sha256sum)
[ "$before" = "$after" ] || fail "the upgrade changed the station's files"
login_kept "the upgrade"
expect_mode "$dir" 700 glimora:glimora
expect_mode /var/lib/glimora 700 glimora:glimora

dpkg -r glimora >/dev/null
[ ! -e /usr/bin/glimora ] || fail "dpkg -r left /usr/bin/glimora"
after=$(cd "$dir" && find . -type f -print0 | sort -z | xargs -0 sha256sum)
[ "$before" = "$after" ] || fail "the removal changed the station's files"
login_kept "the removal"

# A purge keeps a station, and with it the user that owns its files.
dpkg --purge glimora >/dev/null
[ -d "$dir/sqldata" ] || fail "the purge removed a station's data"
getent passwd glimora >/dev/null || fail "the purge removed the user of a kept station"
login_kept "the purge"
rm -rf "$dir" "$login"
# With no station left, the purge leaves nothing.
dpkg -i "$deb" >/dev/null && dpkg --purge glimora >/dev/null
[ ! -e /var/lib/glimora ] || fail "the purge of an empty /var/lib/glimora left it"
[ ! -e /etc/glimora ] || fail "the purge of an empty /etc/glimora left it"
getent passwd glimora >/dev/null && fail "the purge left the user glimora"

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures failures" >&2
    exit 1
fi
echo "check-package: all passed"
