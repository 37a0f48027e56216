# Builds for the box's own CPU (32-bit big-endian PowerPC) on an x86-64
# machine with clang and Debian's powerpc cross libc and libstdc++ (no
# powerpc architecture: Debian has none, so no libsigc++, libssl or
# GoogleTest; scripts/setup installs the cross packages and builds
# GoogleTest). The programs run under qemu-ppc, which scripts/test registers
# for the run.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET powerpc-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET powerpc-linux-gnu)
set(CMAKE_LIBRARY_ARCHITECTURE powerpc-linux-gnu)
# Without -B clang takes the i386 start files from /usr/lib32, and ld.lld
# fails alike: GNU ld with the cross libc's own files. 64-bit atomics
# (std::atomic<long long>) are calls into libatomic on this CPU.
set(ppc_flags "-B/usr/powerpc-linux-gnu/lib -fuse-ld=bfd")
# The PLT in a read-only segment, as gcc does it: clang's default puts it
# in a writable and executable one. A 64-bit time_t (glibc's 32-bit CPUs
# keep a 32-bit one by default, and give the 64-bit one only with 64-bit
# file offsets, here for GoogleTest too), so that install times stay right
# after January 2038 whatever the box's own C library does.
set(CMAKE_C_FLAGS_INIT "-msecure-plt -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-msecure-plt -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
# Programs are linked statically: the box's own C library may be another
# (uClibc, musl, an older glibc), and this machine has no PowerPC
# /lib/ld.so.1 for qemu-ppc either. So what the tests run is the nimbrel a
# box gets, but for scripts/box-build's strip.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ppc_flags} -static -latomic")
set(CMAKE_FIND_ROOT_PATH /usr/powerpc-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# No library or header of the machine's own (its libcrypto is not the
# box's); packages from both, for the header-only CLI11 and nlohmann-json.
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/powerpc-linux-gnu/lib/pkgconfig)
# GoogleTest as scripts/setup builds it from /usr/src/googletest.
list(APPEND CMAKE_FIND_ROOT_PATH /opt/nimbrel/googletest-ppc)
