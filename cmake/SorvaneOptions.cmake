# Compile settings shared by every target of the project: link sorvane_options.
option(SORVANE_WERROR "Treat compiler warnings as errors" OFF)
option(SORVANE_ASAN "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(SORVANE_FUZZ "Build the libFuzzer targets of fuzz/ with the sanitizers (clang only)" OFF)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_library(sorvane_options INTERFACE)
target_compile_features(sorvane_options INTERFACE cxx_std_20)
target_compile_options(sorvane_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast
                                                 -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual)
if(SORVANE_WERROR)
  target_compile_options(sorvane_options INTERFACE -Werror)
endif()
if(SORVANE_ASAN)
  target_compile_options(sorvane_options INTERFACE -fsanitize=address,undefined
                                                   -fno-omit-frame-pointer)
  target_link_options(sorvane_options INTERFACE -fsanitize=address,undefined)
endif()
if(SORVANE_FUZZ)
  target_compile_options(sorvane_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                   -fno-sanitize-recover=undefined
                                                   -fno-omit-frame-pointer)
  target_link_options(sorvane_options INTERFACE -fsanitize=address,undefined)
endif()
