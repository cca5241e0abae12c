# Sourced by scripts/test.sh and scripts/quickstart.sh: the build folders and
# the CMake settings they configure them with. The two commands share one
# folder and the same settings, so running one after the other rebuilds only
# what changed and never the whole library.

build_dir=build
build_settings=(-DTESSOK_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo)

# The sanitizer pass (scripts/test.sh --sanitize) keeps a folder of its own.
sanitize_build_dir=build-asan
sanitize_settings=(-DTESSOK_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DTESSOK_SANITIZE=ON -DTESSOK_BUILD_BENCH=OFF)
