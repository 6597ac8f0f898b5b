# Runs the layering check over Fixture/ (RunCheck.cmake) and expects it to stop, naming the two
# includes that break the floors and no other. Run with cmake -P.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_LIST_DIR}/RunCheck.cmake
                RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with includes from above:\n${output}${errors}")
endif()
# CMake wraps the lines of a message: compare with runs of white space made one space.
string(REGEX REPLACE "[ \t\r\n]+" " " text "${errors}")
set(expected
  "Sources/Low/Low.h includes High/High.h from High, which stands above it"
  "Sources/Side/Side.cpp includes High/High.h from High, which it does not stand on")
foreach(line IN LISTS expected)
  string(FIND "${text}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check did not say \"${line}\"; it said:\n${errors}")
  endif()
endforeach()
string(REGEX MATCHALL " includes " named "${text}")
list(LENGTH named count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "the check named ${count} includes instead of 2:\n${errors}")
endif()
message(STATUS "the check stopped at the two includes that break the floors")
