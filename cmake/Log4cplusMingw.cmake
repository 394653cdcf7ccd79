# log4cplus for the Windows build. Debian has no mingw build of it, so the
# build makes one from Debian's own source package, of the version the Linux
# build uses (that of the installed liblog4cplus-dev): fetched with a private
# package list inside the build folder (scripts/fetch-debian-source, nothing
# changed on the system), unpacked with Debian's patches, and built once per
# build folder as a static library, narrow characters (tchar is char, as in
# the Linux build). A later configure finds the stamp and does nothing.
#
# Gives the target orvel_log4cplus: link it to use log4cplus.
#
#   <build>/log4cplus/download/   the source package as fetched
#   <build>/log4cplus/src/        unpacked, patched
#   <build>/log4cplus/build/      log4cplus's own build (logs beside it)
#   <build>/log4cplus/install/    headers, liblog4cplusS.a, CMake package

set(_l4c ${CMAKE_BINARY_DIR}/log4cplus)

if(NOT ORVEL_LOG4CPLUS_VERSION)
  execute_process(COMMAND dpkg-query -W "-f=\${source:Version}" liblog4cplus-dev
    OUTPUT_VARIABLE _version ERROR_QUIET RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0 OR _version STREQUAL "")
    message(FATAL_ERROR "log4cplus for mingw: liblog4cplus-dev is not installed, so the version to build "
      "is unknown (scripts/install-deps installs it; or set ORVEL_LOG4CPLUS_VERSION to a Debian version)")
  endif()
  set(ORVEL_LOG4CPLUS_VERSION ${_version} CACHE STRING
    "Debian version of the log4cplus source package built for mingw")
endif()

# What a build is made of: a different version or option set builds again.
set(_l4c_options
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DUNICODE=OFF
  -DLOG4CPLUS_BUILD_TESTING=OFF
  -DWITH_UNIT_TESTS=OFF
  -DLOG4CPLUS_BUILD_LOGGINGSERVER=OFF
  -DLOG4CPLUS_ENABLE_DECORATED_LIBRARY_NAME=ON)
set(_l4c_stamp_text "${ORVEL_LOG4CPLUS_VERSION} ${_l4c_options}")
set(_l4c_stamp ${_l4c}/install/orvel-built.stamp)

# Runs one step, its output into <build>/log4cplus/<name>.log; stops the
# configure with the log's end when it fails.
function(_l4c_step name)
  set(log ${_l4c}/${name}.log)
  execute_process(COMMAND ${ARGN} OUTPUT_FILE ${log} ERROR_FILE ${log} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    file(STRINGS ${log} lines)
    list(LENGTH lines n)
    math(EXPR first "${n} - 15")
    if(first LESS 0)
      set(first 0)
    endif()
    list(SUBLIST lines ${first} -1 tail)
    list(JOIN tail "\n  " tail)
    message(FATAL_ERROR "log4cplus for mingw: ${name} failed (${rc}); ${log} ends with:\n  ${tail}")
  endif()
endfunction()

set(_l4c_built FALSE)
if(EXISTS ${_l4c_stamp})
  file(READ ${_l4c_stamp} _done)
  if(_done STREQUAL _l4c_stamp_text)
    set(_l4c_built TRUE)
  endif()
endif()

if(NOT _l4c_built)
  message(STATUS "log4cplus for mingw: building Debian's log4cplus ${ORVEL_LOG4CPLUS_VERSION} in ${_l4c}")
  string(REGEX REPLACE "^[0-9]+:" "" _dsc_version ${ORVEL_LOG4CPLUS_VERSION})
  set(_dsc ${_l4c}/download/log4cplus_${_dsc_version}.dsc)
  if(NOT EXISTS ${_dsc})
    file(REMOVE_RECURSE ${_l4c}/download)
    file(MAKE_DIRECTORY ${_l4c}/download)
    execute_process(
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-debian-source log4cplus ${ORVEL_LOG4CPLUS_VERSION} ${_l4c}/download
      OUTPUT_QUIET ERROR_VARIABLE _err RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0 OR NOT EXISTS ${_dsc})
      file(REMOVE_RECURSE ${_l4c}/download)
      message(FATAL_ERROR "log4cplus for mingw: fetching Debian's source package log4cplus "
        "${ORVEL_LOG4CPLUS_VERSION} failed; the Windows build needs it (and the network to Debian's archive "
        "once per build folder).\n${_err}")
    endif()
  endif()
  file(REMOVE_RECURSE ${_l4c}/src ${_l4c}/build ${_l4c}/install)
  _l4c_step(unpack dpkg-source -x ${_dsc} ${_l4c}/src)
  cmake_host_system_information(RESULT _jobs QUERY NUMBER_OF_LOGICAL_CORES)
  # The toolchain file as this build was given it may be relative to the
  # source folder, which the library's own configure does not run in.
  get_filename_component(_l4c_toolchain ${CMAKE_TOOLCHAIN_FILE} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  _l4c_step(configure ${CMAKE_COMMAND} -S ${_l4c}/src -B ${_l4c}/build -G ${CMAKE_GENERATOR}
    -DCMAKE_TOOLCHAIN_FILE=${_l4c_toolchain} -DCMAKE_INSTALL_PREFIX=${_l4c}/install ${_l4c_options})
  _l4c_step(build ${CMAKE_COMMAND} --build ${_l4c}/build -j ${_jobs})
  _l4c_step(install ${CMAKE_COMMAND} --install ${_l4c}/build)
  file(WRITE ${_l4c_stamp} "${_l4c_stamp_text}")
endif()

# Found where it was installed, not in the mingw root the toolchain searches.
find_package(log4cplus CONFIG REQUIRED PATHS ${_l4c}/install NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
add_library(orvel_log4cplus INTERFACE)
target_link_libraries(orvel_log4cplus INTERFACE log4cplus::log4cplusS Threads::Threads)
