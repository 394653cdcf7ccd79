# ORVEL_SANITIZE selects an instrumented build for the whole tree:
#   ""          plain build
#   "address"   AddressSanitizer + UndefinedBehaviorSanitizer
#   "thread"    ThreadSanitizer
set(ORVEL_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")
set_property(CACHE ORVEL_SANITIZE PROPERTY STRINGS "" address thread)

if(ORVEL_SANITIZE STREQUAL "address")
  set(_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(ORVEL_SANITIZE STREQUAL "thread")
  set(_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT ORVEL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ORVEL_SANITIZE must be empty, address or thread")
endif()

if(_san_flags)
  add_compile_options(${_san_flags})
  add_link_options(${_san_flags})
endif()
