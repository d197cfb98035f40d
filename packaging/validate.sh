#!/usr/bin/env bash
# Checks the installed desktop metadata the way distributions and software centres do:
#   validate.sh DESKTOP_FILE DBUS_SERVICE METAINFO MIME_PACKAGE MAN_DIR VERSION
set -euo pipefail
desktop=$1 service=$2 metainfo=$3 mime=$4 mandir=$5 version=$6
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

need() {
    command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (scripts/install-dependencies installs it)" >&2; exit 1; }
}
need desktop-file-validate
need appstreamcli

echo "== desktop-file-validate $desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"

echo "== appstreamcli validate --no-net $metainfo"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

# A D-Bus activatable application is started by the service whose name is the desktop file's.
app_id=$(basename "$desktop" .desktop)
grep -qx "Name=$app_id" "$service" || fail "$service does not own the name $app_id"
exec_line=$(sed -n 's/^Exec=//p' "$service")
[[ "$exec_line" == /* && "$exec_line" != *" "* ]] \
    || fail "the service must start the bare program by its absolute path, not '$exec_line'"

# The newest release in the metainfo is the version being built, so software centres never
# show an older one.
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$newest" = "$version" ] || fail "newest release in the metainfo is '$newest', the project is $version"

if command -v xmllint >/dev/null; then
    echo "== xmllint --noout $mime"
    xmllint --noout "$mime" || fail "xmllint"
fi
grep -q '<glob pattern="\*\.text"/>' "$mime" || fail "$mime does not declare *.text"

if command -v groff >/dev/null; then
    for page in "$mandir"/*.1; do
        echo "== groff -man -ww -z $page"
        warnings=$(groff -man -ww -z -K utf8 "$page" 2>&1)
        [ -z "$warnings" ] || fail "$page: $warnings"
    done
fi

[ "$failed" -eq 0 ] && echo "All packaging metadata is valid."
exit "$failed"
