# What a build for Windows needs besides the toolchain (cmake/mingw-w64.cmake): the header-only
# libraries and GoogleTest, which Debian ships for the build machine only, and wine to run the
# programs under ctest.

# CLI11 and nlohmann-json are headers only, but Debian's CMake files name /usr/include, which
# must not reach the cross compiler: its C library headers would shadow Windows' own. Links to
# just their folders stand in.
set(vyr_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${vyr_host_headers})
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${vyr_host_headers}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${vyr_host_headers}
  INTERFACE_INCLUDE_DIRECTORIES ${vyr_host_headers})

# Wide-character Windows calls throughout; <windows.h> without its min and max macros.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

if(VYR_TESTS)
  # GoogleTest built for the target from Debian's sources.
  set(vyr_googletest_source /usr/src/googletest)
  if(NOT EXISTS ${vyr_googletest_source}/CMakeLists.txt)
    message(FATAL_ERROR "${vyr_googletest_source} is missing: run scripts/install-deps")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its own CMake files name the targets GTest::gtest, GTest::gmock and GTest::gtest_main.
  add_subdirectory(${vyr_googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

  # Every test program runs through wine, in a prefix of this build's own that is made once
  # here, so parallel tests do not race to create it. WINEDEBUG keeps wine's own chatter out
  # of the tests' output; the overrides skip the offers to install .NET and a browser engine.
  find_program(VYR_WINE wine)
  if(VYR_WINE)
    set(vyr_wine_prefix ${CMAKE_BINARY_DIR}/wine)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${vyr_wine_prefix} WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= ${VYR_WINE})
    if(NOT EXISTS ${vyr_wine_prefix}/system.reg)
      message(STATUS "Creating the wine prefix ${vyr_wine_prefix}")
      execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init
                      OUTPUT_QUIET ERROR_QUIET TIMEOUT 300)
    endif()
    # The window's tests need windows, fonts and messages but no screen: wine's null display
    # driver gives them that without an X server, and nothing ever shows.
    set(vyr_null_display ${vyr_wine_prefix}/vyr-null-display)
    if(NOT EXISTS ${vyr_null_display})
      execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} reg add "HKCU\\Software\\Wine\\Drivers"
                              /v Graphics /d null /f
                      RESULT_VARIABLE vyr_reg OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
      if(vyr_reg EQUAL 0)
        file(TOUCH ${vyr_null_display})
      endif()
    endif()
  else()
    message(WARNING "wine not found: the Windows tests build but cannot run here")
  endif()
endif()
