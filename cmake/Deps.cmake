# Third-party libraries, built from Debian's source packages with this build's own toolchain:
#   ql::jpeg   libjpeg-turbo as a static library with NASM SIMD (TurboJPEG API and libjpeg API)
#   ql::cjson  cJSON as a static library
#   ql::webp   libwebp: the decoder and the demultiplexer, static
# tools/deps/fetch-sources.sh fetches, checks and unpacks the sources into build/deps/src at
# configure time (once; later runs find them in place), so a fresh clone needs no extra command.

set(QL_DEPS_SRC ${CMAKE_SOURCE_DIR}/build/deps/src)
set(_fetch ${CMAKE_SOURCE_DIR}/tools/deps/fetch-sources.sh)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_fetch})
execute_process(COMMAND bash ${_fetch} ${QL_DEPS_SRC} RESULT_VARIABLE _fetch_rc)
if(NOT _fetch_rc EQUAL 0)
  message(FATAL_ERROR "Fetching the third-party sources failed (see above); tools/setup.sh installs what it needs")
endif()

# --- libjpeg-turbo ---------------------------------------------------------------------------------
find_program(QL_NASM nasm NO_CMAKE_FIND_ROOT_PATH)
if(NOT QL_NASM)
  message(FATAL_ERROR "nasm missing (libjpeg-turbo's SIMD code): run tools/setup.sh")
endif()

include(ExternalProject)
set(_jpeg_src ${QL_DEPS_SRC}/libjpeg-turbo)
set(_jpeg_prefix ${CMAKE_BINARY_DIR}/deps/libjpeg-turbo)
set(_jpeg_out ${_jpeg_prefix}/install)
set(_jpeg_lib ${_jpeg_out}/lib/libturbojpeg.a)
get_filename_component(_toolchain ${CMAKE_TOOLCHAIN_FILE} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})

# Only the static TurboJPEG library is built (it holds the whole libjpeg as well); its programs and
# tests are not. The "install" copies just the library and the public headers.
ExternalProject_Add(ql_libjpeg_turbo
  SOURCE_DIR ${_jpeg_src}
  PREFIX ${_jpeg_prefix}
  INSTALL_DIR ${_jpeg_out}
  BINARY_DIR ${_jpeg_prefix}/build
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${_toolchain}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_ASM_NASM_COMPILER=${QL_NASM}
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_12BIT=OFF
    -Wno-dev -DCMAKE_WARN_DEPRECATED=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target turbojpeg-static
  INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${_jpeg_out}/lib ${_jpeg_out}/include
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libturbojpeg.a ${_jpeg_out}/lib/
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/jconfig.h ${_jpeg_src}/jpeglib.h ${_jpeg_src}/jmorecfg.h
            ${_jpeg_src}/jerror.h ${_jpeg_src}/turbojpeg.h ${_jpeg_out}/include/
  BUILD_BYPRODUCTS ${_jpeg_lib}
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
# A new source tree (another pinned version) configures and builds the library again.
ExternalProject_Add_StepDependencies(ql_libjpeg_turbo configure ${_jpeg_src}/.unpacked)

file(MAKE_DIRECTORY ${_jpeg_out}/include)
add_library(ql_jpeg STATIC IMPORTED GLOBAL)
set_target_properties(ql_jpeg PROPERTIES
  IMPORTED_LOCATION ${_jpeg_lib}
  INTERFACE_INCLUDE_DIRECTORIES ${_jpeg_out}/include)
add_dependencies(ql_jpeg ql_libjpeg_turbo)
add_library(ql::jpeg ALIAS ql_jpeg)

# --- cJSON -----------------------------------------------------------------------------------------
# One C file; compiled here directly. Only its header is put on the users' include path.
set(_cjson_src ${QL_DEPS_SRC}/cjson)
configure_file(${_cjson_src}/cJSON.h ${CMAKE_BINARY_DIR}/deps/cjson/include/cJSON.h COPYONLY)
add_library(ql_cjson STATIC ${_cjson_src}/cJSON.c)
target_include_directories(ql_cjson SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/deps/cjson/include)
# Static use: no dllexport/dllimport decoration on the functions.
target_compile_definitions(ql_cjson PUBLIC CJSON_HIDE_SYMBOLS)
set_target_properties(ql_cjson PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
add_library(ql::cjson ALIAS ql_cjson)

# --- libwebp ---------------------------------------------------------------------------------------
# The decoder and the demultiplexer (animated files) as static libraries, for CodecHost.dll; none of
# the command-line tools.
set(_webp_src ${QL_DEPS_SRC}/libwebp)
set(_webp_prefix ${CMAKE_BINARY_DIR}/deps/libwebp)
set(_webp_out ${_webp_prefix}/install)
set(_webp_lib ${_webp_out}/lib/libwebp.a)
set(_webpdemux_lib ${_webp_out}/lib/libwebpdemux.a)
ExternalProject_Add(ql_libwebp
  SOURCE_DIR ${_webp_src}
  PREFIX ${_webp_prefix}
  INSTALL_DIR ${_webp_out}
  BINARY_DIR ${_webp_prefix}/build
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${_toolchain}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DBUILD_SHARED_LIBS=OFF -DWEBP_ENABLE_SIMD=ON -DWEBP_USE_THREAD=OFF
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF
    -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF
    -Wno-dev -DCMAKE_WARN_DEPRECATED=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target webp webpdemux
  INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${_webp_out}/lib ${_webp_out}/include/webp
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libwebp.a <BINARY_DIR>/libwebpdemux.a ${_webp_out}/lib/
    COMMAND ${CMAKE_COMMAND} -E copy ${_webp_src}/src/webp/decode.h ${_webp_src}/src/webp/demux.h
            ${_webp_src}/src/webp/mux_types.h ${_webp_src}/src/webp/types.h ${_webp_out}/include/webp/
  BUILD_BYPRODUCTS ${_webp_lib} ${_webpdemux_lib}
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
ExternalProject_Add_StepDependencies(ql_libwebp configure ${_webp_src}/.unpacked)

file(MAKE_DIRECTORY ${_webp_out}/include)
add_library(ql_webp STATIC IMPORTED GLOBAL)
set_target_properties(ql_webp PROPERTIES
  IMPORTED_LOCATION ${_webp_lib}
  INTERFACE_INCLUDE_DIRECTORIES ${_webp_out}/include)
add_dependencies(ql_webp ql_libwebp)
add_library(ql_webpdemux STATIC IMPORTED GLOBAL)
set_target_properties(ql_webpdemux PROPERTIES
  IMPORTED_LOCATION ${_webpdemux_lib}
  INTERFACE_INCLUDE_DIRECTORIES ${_webp_out}/include
  INTERFACE_LINK_LIBRARIES ql_webp)
add_dependencies(ql_webpdemux ql_libwebp)
add_library(ql::webp ALIAS ql_webpdemux)
