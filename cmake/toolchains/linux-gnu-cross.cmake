# Shared part of the cross toolchains: Debian's cross compilers for
# KELVORAN_CROSS_TRIPLE, the target's libraries under /usr/<triple>, and
# qemu-user to run what is built there (tests, test discovery, the demo).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KELVORAN_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KELVORAN_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVORAN_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: where the emulator finds the target's dynamic loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${KELVORAN_CROSS_TRIPLE})
