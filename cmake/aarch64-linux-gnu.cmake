# Cross-compiles the engine for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu:
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#   cmake --build build-arm --target tervane
# The result, build-arm/tervane, is linked statically, so that qemu-aarch64 runs it on an x86-64
# machine without an ARM system root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(TERVANE_ARM_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${TERVANE_ARM_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TERVANE_ARM_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${TERVANE_ARM_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
