# Sourced by the build scripts: when the machine has ccache, CMake builds compile through it,
# so building the same sources again (another script, another clone of the tree) is quick.
# Paths are taken relative to the tree, so clones in other folders share the cache.
cache_flags=()
if command -v ccache >/dev/null 2>&1; then
  cache_flags=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
