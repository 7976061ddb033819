# Run at build time, after a test program links: lists its GoogleTest
# suites and writes one CTest test per suite (the whole suite in one
# process) into OUT, which CTest includes.
#   cmake -D EXE=<program> -D OUT=<file> -D TIMEOUT=<seconds> -P list_suites.cmake
execute_process(COMMAND "${EXE}" --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXE} --gtest_list_tests failed (${status}):\n${listing}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(text "")
foreach(line IN LISTS lines)
  # Suite lines start in the first column: "Suite." or "Prefix/Suite.  # TypeParam = ...".
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND text "add_test([=[${suite}]=] [==[${EXE}]==] [==[--gtest_filter=${suite}.*]==])\n"
      "set_tests_properties([=[${suite}]=] PROPERTIES TIMEOUT ${TIMEOUT})\n")
  endif()
endforeach()
file(WRITE "${OUT}" "${text}")
