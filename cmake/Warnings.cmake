# Compile settings shared by every target of the product: Unicode Win32, warnings as errors,
# static runtime so that every binary imports only system DLLs.
add_library(ql_options INTERFACE)
target_compile_definitions(ql_options INTERFACE
  UNICODE _UNICODE WINVER=0x0A00 _WIN32_WINNT=0x0A00 _WIN32_IE=0x0A00 NOMINMAX STRICT)
target_compile_options(ql_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -Werror -Wno-unknown-pragmas -Wno-missing-field-initializers -Wno-cast-function-type>
  $<$<COMPILE_LANGUAGE:CXX>:-Wno-class-memaccess>)
target_link_options(ql_options INTERFACE -static -static-libgcc -static-libstdc++)
target_include_directories(ql_options INTERFACE ${CMAKE_SOURCE_DIR})

# The system libraries the product uses, for any target that wants them all.
add_library(ql_winlibs INTERFACE)
target_link_libraries(ql_winlibs INTERFACE
  windowscodecs gdiplus d2d1 ole32 oleaut32 uuid shlwapi shell32 comctl32 comdlg32
  gdi32 msimg32 user32 advapi32 version winspool propsys)

# Builds a static library from every .cpp of the calling folder and its subfolders.
function(ql_folder_library name)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${_src})
  target_link_libraries(${name} PUBLIC ql_options ${ARGN})
endfunction()
