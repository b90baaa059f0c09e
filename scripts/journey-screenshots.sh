#!/usr/bin/env bash
# Drives the real window as a new user would, under Xvfb, on a figure 17 units tall of about
# 20 thousand vertices, and saves three pictures of the whole screen: right after loading, with
# "Show weights" on a soft selection (Fallout 3, framed with "Frame selection"), and zoomed far
# out with the mouse wheel. Needs xvfb-run, xdotool and ImageMagick's import.
#
#   bash scripts/journey-screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$build/journey}"
cmake --build "$build" --target tarvel generate_figure
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/samples/generate_figure" "$work/fig17.obj" --vertices 19000 --height 17

cat > "$work/journey.sh" <<SCRIPT
#!/usr/bin/env bash
export XDG_CONFIG_HOME="$work/config"
start() { "$build/src/app/tarvel" "$work/fig17.obj" & pid=\$!; sleep 10; }
shot() { xdotool mousemove 1200 850; sleep 1; import -window root "$out/\$1.png"; }
start; shot viewport-17-units-loaded; kill \$pid
start
xdotool mousemove 120 8 click 1; sleep 1; xdotool mousemove 250 121 click 1; sleep 2  # new stack
xdotool mousemove 191 32 click 1; sleep 1; xdotool mousemove 150 65 click 1; sleep 2   # soft sel.
xdotool mousemove 775 398 click 1; sleep 2                                             # a vertex
xdotool mousemove 228 239 click --repeat 3 1; xdotool key ctrl+a type 3; xdotool key Tab; sleep 3
xdotool mousemove 67 8 click 1; sleep 1; xdotool mousemove 116 251 click 1; sleep 2    # frame sel.
xdotool mousemove 67 8 click 1; sleep 1; xdotool mousemove 110 205 click 1; sleep 3    # weights
shot viewport-17-units-show-weights; kill \$pid
start
xdotool mousemove 775 450; xdotool click --repeat 150 --delay 5 4; sleep 2
shot viewport-17-units-zoomed-out; kill \$pid
SCRIPT
chmod +x "$work/journey.sh"
xvfb-run -a -s "-screen 0 1280x900x24" "$work/journey.sh"
ls "$out"/*.png
