# Fails unless LIB exports exactly the fifteen narvi_* functions.
set(_expected
  narvi_close narvi_get_info narvi_get_last_error narvi_get_library_version narvi_get_mode_int
  narvi_open narvi_read narvi_reindex narvi_seek narvi_seek_time narvi_seek_time_external
  narvi_set_mode_int narvi_set_trace_callback narvi_set_track_callback narvi_tell)
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" _lines "${_out}")
set(_found)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^[0-9a-fA-F]+ +[A-Za-z] +([^ ]+)$")
    list(APPEND _found ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT _found)
list(SORT _expected)
if(NOT "${_found}" STREQUAL "${_expected}")
  message(FATAL_ERROR "Exported symbols differ.\nExpected: ${_expected}\nFound: ${_found}")
endif()
message(STATUS "kqmlib exports exactly the fifteen narvi_* functions")
