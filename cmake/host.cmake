# Host build: the portable core against the fake platform, its unit tests
# (plain and under ASan+UBSan), the benchmark, and the end-to-end tests of
# the Windows builds under Wine.
find_package(GTest REQUIRED)
include(GoogleTest)
enable_testing()

set(VQ_UNIT_TEST_SOURCES
  tests/unit/fake_platform.cpp
  tests/unit/list_rows.cpp
  tests/unit/StartupTest.cpp
  tests/unit/ResolveSystemProcTest.cpp
  tests/unit/ErrorReportTest.cpp
  tests/unit/TableReaderTest.cpp
  tests/unit/RowTextTest.cpp
  tests/unit/NtPathTest.cpp
  tests/unit/ProcessPathTest.cpp
  tests/unit/ProcessPathCacheTest.cpp
  tests/unit/fake_files.cpp
  tests/unit/fake_shell.cpp
  tests/unit/fake_registry.cpp
  tests/unit/WindowSettingsTest.cpp
  tests/unit/DocumentCommandsTest.cpp
  tests/unit/Md5Test.cpp
  tests/unit/FileHashTest.cpp
  tests/unit/LookupCommandsTest.cpp
  tests/unit/HtmlReportTest.cpp
  tests/unit/ConnectionRowTest.cpp
  tests/unit/ConnectionListTest.cpp
  tests/unit/failing_allocation.cpp
  tests/unit/IdentityIndexTest.cpp
  tests/unit/ListSyncTest.cpp
  tests/unit/RowCountersTest.cpp
  tests/unit/CommandControllerTest.cpp
  tests/unit/ViewOptionsTest.cpp
  tests/unit/ListViewStateTest.cpp
  tests/unit/RowSearchTest.cpp
  tests/unit/RowFilterTest.cpp
  tests/unit/DesignSizeTest.cpp
  tests/unit/fake_process_control.cpp
  tests/unit/fake_clipboard.cpp
  tests/unit/CloseConnectionTest.cpp
  tests/unit/ClipboardExportTest.cpp
  tests/unit/OwnerModuleTest.cpp
  tests/unit/DelimitedTextTest.cpp
  tests/unit/JsonTextTest.cpp
  tests/unit/CommandLineTest.cpp
  tests/unit/RowChangesTest.cpp
  tests/unit/RowOutputTest.cpp
  tests/unit/ConsoleRunTest.cpp
  tests/unit/fake_file_dialog.cpp
  tests/unit/CsvCommandTest.cpp
)
list(TRANSFORM VQ_UNIT_TEST_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)

function(vq_add_unit_tests target prefix)
  add_executable(${target} ${VQ_UNIT_TEST_SOURCES} ${VQ_CORE_SOURCES})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests/unit
                                             ${CMAKE_SOURCE_DIR}/package)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  target_compile_options(${target} PRIVATE ${ARGN})
  target_link_options(${target} PRIVATE ${ARGN})
  gtest_discover_tests(${target} TEST_PREFIX "${prefix}" PROPERTIES LABELS unit
                       DISCOVERY_TIMEOUT 60)
endfunction()

vq_add_unit_tests(vq_unit_tests "unit.")
vq_add_unit_tests(vq_unit_tests_sanitized "sanitized."
  -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

find_package(benchmark QUIET)
if(benchmark_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()

include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake)
