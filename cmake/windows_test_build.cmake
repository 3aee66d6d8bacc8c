# How the Windows test programs are compiled, kept quick. The code under test (tavrin_core,
# tavrin_win) keeps the program's own flags; the test drivers, which ship nowhere and spend their
# time waiting on Wine, are compiled unoptimised, and share one precompiled header for <windows.h>
# and GoogleTest, made once.
# GoogleTest itself at -O1: unoptimised, its library is five times the size and each test
# program's link takes seconds longer.
foreach(target gtest gtest_main gmock gmock_main)
  target_compile_options(${target} PRIVATE -O1)
endforeach()
target_compile_options(windows_test_support PUBLIC -O0)
# winsock2.h must come before windows.h.
target_precompile_headers(windows_test_support PRIVATE <winsock2.h> <windows.h> <gtest/gtest.h> <string> <vector>
  <fstream> <functional> <thread> <mutex> <atomic> <algorithm> <memory>)
foreach(dir tests/windows tests/e2e)
  get_property(targets DIRECTORY ${PROJECT_SOURCE_DIR}/${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(libs ${target} LINK_LIBRARIES)
    if(windows_test_support IN_LIST libs)
      target_precompile_headers(${target} REUSE_FROM windows_test_support)
    endif()
  endforeach()
endforeach()
