# Sourced by the build scripts: compile through ccache, with paths taken relative to the clone, so
# that a fresh clone in any folder reuses what an earlier build of the same sources compiled.
# Sets CCACHE_LAUNCHER to the CMake option (empty when ccache is missing).
CCACHE_LAUNCHER=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
  CCACHE_LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
