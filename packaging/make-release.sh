#!/usr/bin/env bash
# Makes the release for vendors in dist/release/ from the built trees
# build/host, build/win32 and build/win64, which it brings up to date first:
#
#   qvxpack_VERSION_amd64.deb            /usr/bin/qvxpack; the 32-bit installer,
#                                        its 64-bit twin and the sample product
#                                        in /usr/share/qvxpack/; the manual page
#                                        qvxpack(1); copyright and changelog
#   qvxpack-VERSION-linux-x86_64.tar.gz  the same files in one folder, to be
#                                        unpacked anywhere
#   qvxpack-VERSION-windows.zip          qvxpack.exe beside the installers, the
#                                        sample product and the manual as text
#   SHA256SUMS                           of the three
#
# The same commit gives the same bytes: every time stamp is SOURCE_DATE_EPOCH
# (the commit's time unless it is set), and owners, modes and the order of
# the files are fixed. dist/release/ is replaced only once all is made.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "make-release: $*" >&2
  exit 1
}

stage=build/release
log=$stage.log
for tree in host win32 win64; do
  [ -f "build/$tree/CMakeCache.txt" ] ||
    fail "build/$tree is not configured: cmake --preset $tree && cmake --build build/$tree"
done
# A tree configured with a vendor's product would ship that product as the
# sample.
for tree in win32 win64; do
  product=$(sed -n 's/^QVX_PRODUCT_DIR:[A-Z]*=//p' "build/$tree/CMakeCache.txt")
  [ -z "$product" ] ||
    fail "build/$tree carries the product in $product, not the sample: configure it with -DQVX_PRODUCT_DIR="
done
: >"$log"
for tree in host win32 win64; do
  cmake --build "build/$tree" -j"$(nproc)" >>"$log" 2>&1 ||
    { tail -30 "$log"; fail "building build/$tree failed (log in $log)"; }
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    fail "not a git checkout: set SOURCE_DATE_EPOCH to the release's time, in seconds since 1970"
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
  echo "make-release: warning: the work tree differs from its commit; this release is not the commit's" >&2
fi
version=$(build/host/tools/qvxpack/qvxpack --version)
version=${version#qvxpack }
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "qvxpack --version gave no version: '$version'"

linux_name=qvxpack-$version-linux-x86_64
windows_name=qvxpack-$version-windows
linux=$stage/$linux_name
windows=$stage/$windows_name
out=$stage/out
rm -rf "$stage"
mkdir -p "$out"

# Modes and time stamps that do not depend on the umask or the build's time.
normalize() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -path "*/bin/*" -type f -exec chmod 0755 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# The files of the Linux tool under a prefix of their own, as the package
# and the tarball lay them out: bin/, share/qvxpack/, share/man/, share/doc/.
for tree in host win32 win64; do
  cmake --install "build/$tree" --prefix "$linux" >>"$log"
done
# Stripped as Debian strips programs: no symbols, no compiler notes.
strip --remove-section=.comment --remove-section=.note "$linux/bin/qvxpack"
doc=$linux/share/doc/qvxpack
mkdir -p "$doc"
cp packaging/copyright "$doc/copyright"
gzip -9n <packaging/changelog >"$doc/changelog.gz"
gzip -9n "$linux/share/man/man1/qvxpack.1"
normalize "$linux"

# What /usr/bin/qvxpack needs of the system, in Debian's words
# (dpkg-shlibdeps reads a source package's control file, so it gets one).
shlib_depends() {
  local dir=$stage/shlibdeps binary
  binary=$(realpath "$1")
  mkdir -p "$dir/debian"
  printf 'Source: qvxpack\n\nPackage: qvxpack\nArchitecture: amd64\n' >"$dir/debian/control"
  (cd "$dir" && dpkg-shlibdeps -O "$binary") | sed -n 's/^shlibs:Depends=//p'
}

# The package. Installed-Size counts each file in KiB, rounded up, and each
# folder as one, as dpkg-gencontrol does.
deb_root=$stage/deb
mkdir -p "$deb_root/DEBIAN"
cp -a "$linux" "$deb_root/usr"
depends=$(shlib_depends "$deb_root/usr/bin/qvxpack")
[ -n "$depends" ] || fail "dpkg-shlibdeps found no dependencies of qvxpack"
size=$(find "$deb_root/usr" -printf '%y %s\n' | awk '{ kib += $1 == "d" ? 1 : int(($2 + 1023) / 1024) } END { print kib }')
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  packaging/control >"$deb_root/DEBIAN/control"
(cd "$deb_root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$deb_root/DEBIAN/md5sums"
normalize "$deb_root"
dpkg-deb --root-owner-group -Zxz --build "$deb_root" "$out/qvxpack_${version}_amd64.deb" >>"$log"

tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" --format=gnu \
  -C "$stage" -cf - "$linux_name" | gzip -9n >"$out/$linux_name.tar.gz"

# The zip: qvxpack.exe finds the 32-bit installer beside itself. Its text
# files have Windows line ends; zip's times are local, so the zone is fixed.
cmake --install build/win64 --component windows --prefix "$windows" >>"$log"
cp -r "$linux/share/qvxpack/." "$windows/"
sed 's/$/\r/' packaging/copyright >"$windows/copyright.txt"
normalize "$windows"
(cd "$stage" && find "$windows_name" -type f | LC_ALL=C sort |
  TZ=UTC zip -X -9 -q -@ "$OLDPWD/$out/$windows_name.zip")

(cd "$out" && sha256sum -- *.deb *.tar.gz *.zip >SHA256SUMS)
rm -rf dist/release
mkdir -p dist
mv "$out" dist/release
echo "make-release: qvxpack $version, time stamps $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'):"
(cd dist/release && stat -c '%8s  dist/release/%n' -- *.deb *.tar.gz *.zip)
