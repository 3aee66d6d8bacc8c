# The Windows tests run in two lanes side by side (ctest -j2), each with a whole harness of its
# own (scripts/wine-harness: prefix, display, simulators, gpsd, lookup stand-in on the build's
# port for lane 1 and the next port for lane 2). A test takes its lane's lock, so a lane runs one
# test at a time and its harness is that test's alone. The tests are almost all waiting, so two
# at once take little more than one.
#
# Lane 2 holds these, chosen by their measured times so that both lanes end together; every
# other test is lane 1's. Tests that ask the lookup in-process (ctest-lock: lookup) stay in
# lane 1, whose stand-in the build's URL names; so do main_window_test, file_chooser_test and
# screen_layout_*, which share default.ini and the chooser folder beside the test programs.
set(TAVRIN_LANE2_TESTS
  e2e_ModalLoops e2e_Modem e2e_FixWait e2e_PortSearch e2e_Receiver acquire_dialog_test e2e_FailingDialup
  e2e_GetAndSend e2e_CommandMessages)

# The lookup URL of lane 2's program: the build's URL with the next port.
set(TAVRIN_LANE2_LOOKUP_URL "${TAVRIN_LOOKUP_URL}")
if(TAVRIN_LOOKUP_URL MATCHES "^([^:]+://[^/:]+:)([0-9]+)(/.*)?$")
  math(EXPR _lane2_port "${CMAKE_MATCH_2} + 1")
  set(TAVRIN_LANE2_LOOKUP_URL "${CMAKE_MATCH_1}${_lane2_port}${CMAKE_MATCH_3}")
endif()

# Puts a test into its lane: the lane's lock, and TAVRIN_LANE for scripts/wine-exec (which
# harness) and the tests (which program). LOCKS are the harness resources it uses.
function(tavrin_test_lane test locks)
  set(lane 1)
  if(test IN_LIST TAVRIN_LANE2_TESTS)
    if("lookup" IN_LIST locks)
      message(FATAL_ERROR "${test} asks the lookup in-process: it belongs to lane 1")
    endif()
    set(lane 2)
  endif()
  set_tests_properties(${test} PROPERTIES
    RESOURCE_LOCK lane${lane}
    ENVIRONMENT "TAVRIN_BUILD_DIR=${CMAKE_BINARY_DIR};TAVRIN_LANE=${lane}")
endfunction()
