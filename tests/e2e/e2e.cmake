# End-to-end tests: the real programs of the Windows builds under Wine and
# Xvfb, one CTest entry per test function of tests/e2e/*_tests.py.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VQ_WIN32_BUILD ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH "The win32 preset's build folder")
set(VQ_WIN64_BUILD ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH "The win64 preset's build folder")
set(VQ_E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)

file(GLOB VQ_E2E_SCRIPTS CONFIGURE_DEPENDS ${VQ_E2E_DIR}/*.py)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VQ_E2E_SCRIPTS})
execute_process(COMMAND ${Python3_EXECUTABLE} ${VQ_E2E_DIR}/run.py list
                OUTPUT_VARIABLE VQ_E2E_TESTS OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" VQ_E2E_TESTS "${VQ_E2E_TESTS}")

foreach(test IN LISTS VQ_E2E_TESTS)
  add_test(NAME e2e.${test}
           COMMAND ${Python3_EXECUTABLE} ${VQ_E2E_DIR}/run.py ${test}
           WORKING_DIRECTORY ${VQ_E2E_DIR})
  set_tests_properties(e2e.${test} PROPERTIES
    LABELS e2e
    TIMEOUT 300
    ENVIRONMENT "VQ_WIN32_BUILD=${VQ_WIN32_BUILD};VQ_WIN64_BUILD=${VQ_WIN64_BUILD};VQ_E2E_WORK=${CMAKE_BINARY_DIR}/e2e")
endforeach()
