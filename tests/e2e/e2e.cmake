# End-to-end tests: the real programs of the Windows builds under Wine and
# Xvfb, run by pytest (Debian's python3-pytest), one CTest entry per test
# function of tests/e2e/*_tests.py as pytest collects them.
find_program(VQ_PYTEST NAMES pytest-3 pytest REQUIRED)

set(VQ_WIN32_BUILD ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH "The win32 preset's build folder")
set(VQ_WIN64_BUILD ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH "The win64 preset's build folder")
set(VQ_E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)

file(GLOB VQ_E2E_SCRIPTS CONFIGURE_DEPENDS ${VQ_E2E_DIR}/*.py ${VQ_E2E_DIR}/pytest.ini)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VQ_E2E_SCRIPTS})
execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1 ${VQ_PYTEST} --collect-only -q
                WORKING_DIRECTORY ${VQ_E2E_DIR}
                OUTPUT_VARIABLE VQ_E2E_COLLECTED OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
# "list_tests.py::test_rows" lines (a case of a table: "...::test_x[case]"),
# then a summary line.
string(REGEX MATCHALL "[A-Za-z0-9_]+_tests\\.py::test_[A-Za-z0-9_]+(\\[[A-Za-z0-9_-]+\\])?" VQ_E2E_TESTS
       "${VQ_E2E_COLLECTED}")
if(NOT VQ_E2E_TESTS)
  message(FATAL_ERROR "pytest collected no end-to-end tests:\n${VQ_E2E_COLLECTED}")
endif()

foreach(test IN LISTS VQ_E2E_TESTS)
  string(REGEX REPLACE "\\.py::|\\[" "." name "${test}")
  string(REPLACE "]" "" name "${name}")
  add_test(NAME e2e.${name}
           COMMAND ${VQ_PYTEST} -q ${test}
           WORKING_DIRECTORY ${VQ_E2E_DIR})
  set_tests_properties(e2e.${name} PROPERTIES
    LABELS e2e
    TIMEOUT 300
    ENVIRONMENT "VQ_WIN32_BUILD=${VQ_WIN32_BUILD};VQ_WIN64_BUILD=${VQ_WIN64_BUILD};VQ_E2E_WORK=${CMAKE_BINARY_DIR}/e2e;PYTHONDONTWRITEBYTECODE=1")
endforeach()
