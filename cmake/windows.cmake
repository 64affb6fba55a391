# Windows build: the core again, the Win32 platform layer, the windows and
# resources, and the programs the end-to-end tests and the scale bench use.
enable_language(RC)

set(VQ_WIN32_PLATFORM_SOURCES
  src/platform/win32/system.cpp
  src/platform/win32/process.cpp
  src/platform/win32/shares.cpp
  src/platform/win32/files.cpp
  src/platform/win32/shell.cpp
  src/platform/win32/clipboard.cpp
  src/platform/win32/registry.cpp
  src/platform/win32/services.cpp
  src/platform/win32/console.cpp
  src/platform/win32/file_dialog.cpp
)
list(TRANSFORM VQ_WIN32_PLATFORM_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)

set(VQ_UI_SOURCES
  src/ui/base_window.cpp
  src/ui/main_window.cpp
  src/ui/main_layout.cpp
  src/ui/main_window_settings.cpp
  src/ui/menus.cpp
  src/ui/row_finder.cpp
  src/ui/connection_list_view.cpp
  src/ui/cell_tooltip.cpp
  src/ui/filter_bar.cpp
  src/ui/find_dialog.cpp
  src/ui/about_window.cpp
  src/app/main_win32.cpp
)
list(TRANSFORM VQ_UI_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VQ_EXE_NAME velquist64)
  set(VQ_CONSOLE_EXE_NAME velquistcon64)
  set(VQ_MANIFEST_ARCH amd64)
  set(VQ_MANIFEST_IDENTITY_ARCH amd64)
else()
  set(VQ_EXE_NAME velquist)
  set(VQ_CONSOLE_EXE_NAME velquistcon)
  set(VQ_MANIFEST_ARCH x86)
  set(VQ_MANIFEST_IDENTITY_ARCH X86)
endif()

# The core and the Win32 platform layer, shared by the program and the test programs.
add_library(vq_core STATIC ${VQ_CORE_SOURCES} ${VQ_WIN32_PLATFORM_SOURCES})
target_include_directories(vq_core PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/package)
target_compile_definitions(vq_core PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                          _WIN32_WINNT=0x0601 WINVER=0x0601)
target_link_libraries(vq_core PUBLIC psapi shell32 user32 gdi32 comctl32 advapi32 ole32 windowscodecs
                                     shlwapi comdlg32)

configure_file(${CMAKE_SOURCE_DIR}/package/velquist.manifest.in
               ${CMAKE_BINARY_DIR}/velquist.manifest @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/package/velquist.rc.in ${CMAKE_BINARY_DIR}/velquist.rc @ONLY)

add_executable(${VQ_EXE_NAME} WIN32 ${VQ_UI_SOURCES} ${CMAKE_BINARY_DIR}/velquist.rc)
target_include_directories(${VQ_EXE_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/package)
target_link_libraries(${VQ_EXE_NAME} PRIVATE vq_core)
# No runtime DLL of ours ships beside the program.
target_link_options(${VQ_EXE_NAME} PRIVATE -static -static-libgcc -static-libstdc++ -municode)
set_source_files_properties(${CMAKE_BINARY_DIR}/velquist.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/velquist.manifest;${CMAKE_SOURCE_DIR}/package/resource.h;${CMAKE_SOURCE_DIR}/package/velquist.ico;${CMAKE_SOURCE_DIR}/package/about_maker_name.png;${CMAKE_SOURCE_DIR}/package/about_like.png;${CMAKE_SOURCE_DIR}/package/about_tweet.png")

# The console companion: the same core without the windows, run as the
# invoking user, shipped beside the window program.
configure_file(${CMAKE_SOURCE_DIR}/package/velquistcon.manifest.in
               ${CMAKE_BINARY_DIR}/velquistcon.manifest @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/package/velquistcon.rc.in ${CMAKE_BINARY_DIR}/velquistcon.rc @ONLY)
add_executable(${VQ_CONSOLE_EXE_NAME} ${CMAKE_SOURCE_DIR}/src/app/console_main.cpp
               ${CMAKE_BINARY_DIR}/velquistcon.rc)
target_link_libraries(${VQ_CONSOLE_EXE_NAME} PRIVATE vq_core)
target_link_options(${VQ_CONSOLE_EXE_NAME} PRIVATE -static -static-libgcc -static-libstdc++ -municode)
set_source_files_properties(${CMAKE_BINARY_DIR}/velquistcon.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/velquistcon.manifest;${CMAKE_SOURCE_DIR}/package/resource.h;${CMAKE_SOURCE_DIR}/package/velquist.ico")

# The documents that ship beside the executables.
foreach(document Changelog.txt EULA.txt)
  configure_file(${CMAKE_SOURCE_DIR}/package/${document} ${CMAKE_BINARY_DIR}/${document} COPYONLY)
endforeach()

# The stand-in IP Helper libraries of the end-to-end tests and of the scale
# bench forward every other export to Wine's own library of the same width.
# Both widths build the test programs: a machine that cannot run 32-bit code
# runs the end-to-end tests against velquist64.exe.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_file(VQ_WINE_IPHLPAPI iphlpapi.dll
    PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  # x86-64 has one calling convention: exports carry no stdcall decoration.
  set(VQ_STDCALL_24 "")
  set(VQ_STDCALL_16 "")
  set(VQ_STDCALL_4 "")
else()
  find_file(VQ_WINE_IPHLPAPI iphlpapi.dll
    PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  set(VQ_STDCALL_24 "@24")
  set(VQ_STDCALL_16 "@16")
  set(VQ_STDCALL_4 "@4")
endif()
if(NOT VQ_WINE_IPHLPAPI)
  message(FATAL_ERROR "Wine's iphlpapi.dll for this width was not found (install wine32 and wine64)")
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/win/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/win ${CMAKE_BINARY_DIR}/e2e)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/scale/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/bench/scale ${CMAKE_BINARY_DIR}/bench-scale)
endif()
