# The Windows build (see cmake/mingw-w64-x86_64.cmake): the core libraries
# (serial port, settings, port discovery, records) and their tests only. The window needs Qt, SQLite and log4cplus, which
# Debian has no mingw builds of; it is built on Windows with Qt's own tools.

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

add_compile_options(-Wall -Wextra)

add_subdirectory(Src/serialport)
add_subdirectory(Src/setting)
add_subdirectory(Src/record)

option(ORVEL_BUILD_TESTS "Build the tests" ON)
if(ORVEL_BUILD_TESTS)
  enable_testing()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests/windows)
endif()
