# 64-bit IBM Z, big-endian. Use: cmake -DCMAKE_TOOLCHAIN_FILE=<this file>
set(KELVORAN_CROSS_TRIPLE s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
