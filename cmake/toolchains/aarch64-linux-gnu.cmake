# 64-bit Arm, little-endian. Use: cmake -DCMAKE_TOOLCHAIN_FILE=<this file>
set(KELVORAN_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
