# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread model, whose
# std::thread and std::filesystem work). Programs are linked statically, so they run under wine
# or on Windows without the compiler's DLLs beside them; ctest runs them through wine with a
# prefix of the build's own (see cmake/WindowsTarget.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(vyr_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${vyr_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${vyr_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${vyr_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${vyr_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
