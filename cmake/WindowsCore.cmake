# The Windows build (see cmake/mingw-w64-x86_64.cmake): the core libraries
# (the serial port, the settings, the command sets, the traffic logic, the
# records), the start-up, log4cplus (cmake/Log4cplusMingw.cmake), the
# resources, and their tests. The window's Win32 layer joins them to make the program.

find_package(Threads REQUIRED)

# Header-only Boost (Asio, Bind, Function, the error codes) from Debian's
# headers. Only the boost folder may be seen: the rest of /usr/include is
# the host's C library, which would shadow mingw's.
set(ORVEL_BOOST_ROOT ${CMAKE_BINARY_DIR}/boost-headers)
file(MAKE_DIRECTORY ${ORVEL_BOOST_ROOT})
file(CREATE_LINK /usr/include/boost ${ORVEL_BOOST_ROOT}/boost SYMBOLIC)
add_library(orvel_boost INTERFACE)
target_include_directories(orvel_boost SYSTEM INTERFACE ${ORVEL_BOOST_ROOT})
target_compile_definitions(orvel_boost INTERFACE
  _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX BOOST_BIND_GLOBAL_PLACEHOLDERS)
target_link_libraries(orvel_boost INTERFACE ws2_32 mswsock Threads::Threads)

add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-Wall$<SEMICOLON>-Wextra>)

include(cmake/Log4cplusMingw.cmake)

# The program's resources: dialog template 102, version information,
# manifest and icon. Linking orvel_resources into an executable puts them
# in it (an object library: nothing refers to the resources by symbol).
enable_language(RC)
string(APPEND CMAKE_RC_FLAGS " -c 65001")  # resource scripts are UTF-8
add_library(orvel_resources OBJECT res/OrvelConfigurator.rc)
target_include_directories(orvel_resources PRIVATE res Src/ui)
set_source_files_properties(res/OrvelConfigurator.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/res/OrvelConfigurator.ico;${PROJECT_SOURCE_DIR}/res/OrvelConfigurator.manifest")

# The system libraries the window's Win32 layer stands on, wide API only.
add_library(orvel_win32 INTERFACE)
target_compile_definitions(orvel_win32 INTERFACE _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(orvel_win32 INTERFACE comctl32 comdlg32 gdi32 user32 shell32 advapi32)

add_subdirectory(Src/serialport)
add_subdirectory(Src/setting)
add_subdirectory(Src/commands)
add_subdirectory(Src/traffic)
add_subdirectory(Src/record)
add_subdirectory(Src/MfcExtControl)
add_subdirectory(Src/ui)
add_subdirectory(Src/OrvelConfigurator)

option(ORVEL_BUILD_TESTS "Build the tests" ON)
if(ORVEL_BUILD_TESTS)
  enable_testing()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests/support)
  add_subdirectory(tests/windows)
endif()
