# The image digests (install/imagedigest.cpp) come from libcrypto where it is
# found, for its speed; where it is missing (the box's PowerPC: Debian builds
# no powerpc libssl) from gnulib's MD5 and SHA-256, compiled from the sources
# of Debian's gnulib package. Targets link "digests" either way.
# libcrypto is not linked but loaded at the first digest, by the name of
# the file the build found or, off the loader's path (a cross build's own
# copy), by that file's path (install/libcrypto.h).
find_package(OpenSSL COMPONENTS Crypto)
add_library(digests INTERFACE)
if(OpenSSL_FOUND)
    get_filename_component(libcrypto_file ${OPENSSL_CRYPTO_LIBRARY} REALPATH)
    get_filename_component(libcrypto_name ${libcrypto_file} NAME)
    target_include_directories(digests INTERFACE ${OPENSSL_INCLUDE_DIR})
    target_compile_definitions(digests INTERFACE NIMBREL_LIBCRYPTO="${libcrypto_name}"
        NIMBREL_LIBCRYPTO_PATH="${libcrypto_file}")
    target_link_libraries(digests INTERFACE ${CMAKE_DL_LIBS})
    return()
endif()

set(GNULIB_LIB /usr/share/gnulib/lib CACHE PATH "gnulib's lib/ (Debian package gnulib)")
if(NOT EXISTS ${GNULIB_LIB}/md5.c OR NOT EXISTS ${GNULIB_LIB}/sha256.c)
    message(FATAL_ERROR "No libcrypto and no gnulib sources in ${GNULIB_LIB} (scripts/setup installs gnulib)")
endif()
message(STATUS "No libcrypto: image digests from gnulib's sources in ${GNULIB_LIB}")
enable_language(C)
# Only the headers the digests need, away from gnulib's replacements of
# system headers.
set(gnulib_include ${CMAKE_BINARY_DIR}/gnulib)
configure_file(${GNULIB_LIB}/md5.h ${gnulib_include}/md5.h COPYONLY)
configure_file(${GNULIB_LIB}/sha256.h ${gnulib_include}/sha256.h COPYONLY)
# What gnulib's configure would find on any glibc, musl or uClibc (written
# only when it changes, so a new configure rebuilds nothing).
file(CONFIGURE OUTPUT ${gnulib_include}/config.h @ONLY CONTENT [[
#include <stdalign.h>
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define WORDS_BIGENDIAN 1
#endif
]])
# C++ has no restrict; gnulib's configure would define it alike.
file(CONFIGURE OUTPUT ${gnulib_include}/gnulibdigests.h @ONLY CONTENT [[
#pragma once
#define restrict __restrict
#include <md5.h>
#include <sha256.h>
#undef restrict
]])
add_library(gnulib_digests STATIC ${GNULIB_LIB}/md5.c ${GNULIB_LIB}/sha256.c)
# Each file alone: both define the same static helpers.
set_target_properties(gnulib_digests PROPERTIES C_STANDARD 11 C_EXTENSIONS ON UNITY_BUILD OFF)
target_include_directories(gnulib_digests PUBLIC ${gnulib_include})
target_link_libraries(digests INTERFACE gnulib_digests)
target_compile_definitions(digests INTERFACE NIMBREL_GNULIB_DIGESTS=1)
