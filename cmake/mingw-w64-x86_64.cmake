# Cross-compiles the Windows build with MinGW-w64 on Linux. The posix thread model gives the
# C++ runtime its std::thread and std::mutex; the executables link it statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELORIN_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VELORIN_MINGW_PREFIX}-gcc-posix ${VELORIN_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VELORIN_MINGW_PREFIX}-g++-posix ${VELORIN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VELORIN_MINGW_PREFIX}-windres REQUIRED)

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
