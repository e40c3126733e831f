# Cross-compiles the client for 64-bit Windows with Debian's mingw-w64 compilers (posix threads: std::thread and
# Qt's threads need them), against the libraries scripts/windows/build-deps.sh builds. scripts/windows/build.sh
# configures with it; by hand:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain-mingw64.cmake \
#         -DCASHIER_WINDOWS_DEPS="<qt prefix>;<openssl prefix>;..."
# Tests run under Wine (scripts/windows/wine-run.sh) as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Try-compiles re-read this file: they need the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CASHIER_WINDOWS_DEPS)

# Libraries, headers and CMake packages come from the Windows prefixes only, never from the Linux system; programs
# (moc, uic, rcc: host tools of the cross-built Qt) run on this machine.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CASHIER_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config (libsodium, spdlog, cpp-httplib) reads the Windows prefixes' .pc files alone.
set(cashier_pc_dirs)
foreach(dep IN LISTS CASHIER_WINDOWS_DEPS)
    list(APPEND cashier_pc_dirs ${dep}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" cashier_pc_dirs "${cashier_pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${cashier_pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# The tests run under Wine: their DLLs are the prefixes' and the compiler's runtime (libstdc++, libgcc,
# winpthread), found where the compiler keeps them.
set(cashier_dll_dirs)
foreach(dep IN LISTS CASHIER_WINDOWS_DEPS)
    if(IS_DIRECTORY ${dep}/bin)
        list(APPEND cashier_dll_dirs ${dep}/bin)
    endif()
    if(EXISTS ${dep}/plugins/platforms)
        set(cashier_qt_plugins ${dep}/plugins)
    endif()
endforeach()
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE found
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(found_dir "${found}" DIRECTORY)
    list(APPEND cashier_dll_dirs ${found_dir})
endforeach()
string(REPLACE ";" ":" cashier_dll_dirs "${cashier_dll_dirs}")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/windows/wine-run.sh --dlls
    "${cashier_dll_dirs}" --plugins "${cashier_qt_plugins}" --prefix ${CMAKE_BINARY_DIR}/wineprefix --qtest --)
