# Builds for a big-endian CPU (IBM Z, s390x) on an x86-64 machine with clang,
# Debian's s390x cross libc and libstdc++, and the multiarch s390x libraries
# the tests link (scripts/setup installs them). The programs run under
# qemu-s390x, which scripts/test registers for the run.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET s390x-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET s390x-linux-gnu)
set(CMAKE_LIBRARY_ARCHITECTURE s390x-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/s390x-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# Where Debian's s390x libssl cannot be installed beside the machine's newer
# one, scripts/setup unpacks it here.
if(EXISTS /opt/nimbrel/openssl-s390x/usr/include/openssl/evp.h)
    list(APPEND CMAKE_PREFIX_PATH /opt/nimbrel/openssl-s390x/usr)
endif()
