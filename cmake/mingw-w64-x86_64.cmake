# Cross-compiles the Windows build with MinGW-w64 on Linux. The posix thread model gives the
# C++ runtime its std::thread and std::mutex; the executables link it statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELORIN_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VELORIN_MINGW_PREFIX}-gcc-posix ${VELORIN_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VELORIN_MINGW_PREFIX}-g++-posix ${VELORIN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VELORIN_MINGW_PREFIX}-windres REQUIRED)

# The release executable runs elevated: every function with a local array or a local whose
# address is taken gets a stack canary, and every image gets ASLR with 64-bit entropy and DEP
# (binutils sets the last three by default; named here so an older one cannot drop them).
set(CMAKE_C_FLAGS_INIT "-fstack-protector-strong")
set(CMAKE_CXX_FLAGS_INIT "-fstack-protector-strong")
foreach(kind EXE SHARED)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-Wl,--dynamicbase,--high-entropy-va,--nxcompat")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${VELORIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs run here through Wine (tests and test discovery).
find_program(VELORIN_WINE NAMES wine wine64)
if(VELORIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VELORIN_WINE}")
endif()
