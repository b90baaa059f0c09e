#!/usr/bin/env bash
# Installs the Debian package for real with apt, then does what a Linux desktop does with it,
# under Xvfb: opens a project file the way a file manager's double-click does (xdg-open) and
# starts the program from its menu entry (gio launch). Each time the main window must show up,
# titled with the project's name or "NoName". The package is removed again afterwards unless it
# was installed before. Needs root or sudo.
#   bash scripts/desktop-test.sh PACKAGE.deb
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$1
[[ -f "$deb" ]] || { echo "no package: $deb" >&2; exit 1; }

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

was_installed=0
if dpkg-query -W -f='${Status}' tarvel 2>/dev/null | grep -q "install ok installed"; then
  was_installed=1
fi
work=$(mktemp -d)
cleanup() {
  if ((!was_installed)); then $SUDO apt-get remove -y -q tarvel >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

$SUDO apt-get install -y -q --no-install-recommends "./$deb" >/dev/null

expect() {  # expect WHAT GOT WANTED
  if [[ "$2" != "$3" ]]; then
    echo "desktop: $1 is '$2', expected '$3'" >&2
    exit 1
  fi
}
cp tests/data/figure_with_stack.vnx "$work/my work.vnx"
cp tests/data/every_kind.stk "$work/my stack.stk"
cp samples/figure.obj "$work/figure.obj"
expect "the type of a .vnx file" "$(xdg-mime query filetype "$work/my work.vnx")" \
  application/x-tarvel-project
expect "the type of a .stk file" "$(xdg-mime query filetype "$work/my stack.stk")" \
  application/x-tarvel-stack
expect "the type of an OBJ file" \
  "$(gio info -a standard::content-type "$work/figure.obj" | sed -n 's/.*content-type: //p')" model/obj
for type in application/x-tarvel-project application/x-tarvel-stack model/obj; do
  expect "the program for $type" "$(xdg-mime query default "$type")" tarvel.desktop
done
[[ -f /usr/share/icons/hicolor/48x48/apps/tarvel.png ]] || { echo "no menu icon" >&2; exit 1; }

# Inside the X server: start the program one way, wait for its window, close it.
cat >"$work/session.sh" <<'EOF'
#!/usr/bin/env bash
set -uo pipefail
window() {  # window HOW TITLE COMMAND...
  local how=$1 title=$2
  shift 2
  "$@" >/dev/null 2>&1 &
  for _ in $(seq 60); do
    sleep 0.5
    if xwininfo -root -tree | grep -qF "\"$title\""; then
      echo "desktop: $how opened \"$title\""
      pkill -x tarvel
      sleep 1
      return 0
    fi
  done
  echo "desktop: $how did not open a window titled \"$title\"; windows:" >&2
  xwininfo -root -tree | grep -F '"' >&2
  pkill -x tarvel
  return 1
}
rc=0
window "a double-click on the project" "Tarvel V.1.0a  [my work]" xdg-open "$1/my work.vnx" || rc=1
window "the menu entry" "Tarvel V.1.0a  [NoName]" gio launch /usr/share/applications/tarvel.desktop || rc=1
# File managers built on GLib know an OBJ file by its content as model/obj; xdg-mime's own
# guess from the name alone is the older Tgif drawing format, which the program does not claim.
window "a double-click on the figure" "Tarvel V.1.0a  [NoName]" gio open "$1/figure.obj" || rc=1
window "a double-click on the stack" "Tarvel V.1.0a  [NoName]" xdg-open "$1/my stack.stk" || rc=1
exit $rc
EOF
XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh" "$work"
echo "desktop ok"
