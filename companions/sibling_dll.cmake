# ql_sibling_dll(NAME SOURCES ... LIBS ... EXPORTS name,name,...) builds one of the libraries that lie
# beside the viewer: NAME.dll in the program folder, its stdcall exports under their plain names on
# the 32-bit build too, and a build that fails unless exactly EXPORTS leave the DLL.
function(ql_sibling_dll name)
  cmake_parse_arguments(D "" "EXPORTS" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${D_SOURCES})
  target_link_libraries(${name} PRIVATE ${D_LIBS})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${name} PRIVATE -Wl,--kill-at)
  endif()
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:${name}> -DEXPECTED=${D_EXPORTS}
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckExports.cmake
    VERBATIM)
endfunction()
