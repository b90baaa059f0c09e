#!/usr/bin/env bash
# Builds the Debian package, checks that apt can install it with its dependencies, unpacks it
# into a fresh root and runs the installed batch tool on the sample figure from there; also
# validates the desktop entry and the MIME type description; then installs it for real and opens
# files the way a desktop does (scripts/desktop-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build-package
source scripts/compiler-cache.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr "${cache_flags[@]}" \
  -DTARVEL_TESTS=OFF -DTARVEL_BENCHMARKS=OFF
cmake --build "$dir"
(cd "$dir" && rm -f tarvel_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/tarvel_*.deb)
echo "package: $deb"

desktop-file-validate packaging/tarvel.desktop
xmllint --noout packaging/tarvel-mime.xml

# Every dependency the package declares can be satisfied from Debian's archive.
apt-get install --simulate --no-install-recommends "./$deb" >/dev/null

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tarvel usr/bin/tarvel-batch usr/share/applications/tarvel.desktop \
  usr/share/mime/packages/tarvel.xml usr/share/icons/hicolor/48x48/apps/tarvel.png \
  usr/share/icons/hicolor/scalable/mimetypes/tarvel-project.svg \
  usr/share/man/man1/tarvel-batch.1.gz usr/share/tarvel/samples/figure.obj; do
  [[ -e "$root/$f" ]] || { echo "missing in package: $f" >&2; exit 1; }
done
"$root/usr/bin/tarvel-batch" info "$root/usr/share/tarvel/samples/figure.obj" | head -3
echo "package ok"

# Installed for real: a double-click on a project and the menu entry open the window.
bash scripts/desktop-test.sh "$deb"
