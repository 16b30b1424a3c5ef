# The page's C libraries: Debian's zlib, libpng, libjpeg-turbo, libzip, libarchive (with
# liblzma, for .tar.xz) and mpg123 compiled to WebAssembly by scripts/build-web-deps into
# TALDREX_WEB_DEPS, under the target names the desktop build finds them by, so that src/
# links them the same way.
# The script's cache is $TALDREX_WEB_DEPS when set, else build-web-deps/ at the root.
set(web_deps_cache ${PROJECT_SOURCE_DIR}/build-web-deps)
if(DEFINED ENV{TALDREX_WEB_DEPS})
    set(web_deps_cache $ENV{TALDREX_WEB_DEPS})
endif()
set(TALDREX_WEB_DEPS ${web_deps_cache}/prefix CACHE PATH
    "Where scripts/build-web-deps installed the page's libraries")

function(taldrex_web_library target)
    set(found)
    foreach(name ${ARGN})
        set(path ${TALDREX_WEB_DEPS}/lib/lib${name}.a)
        if(NOT EXISTS ${path})
            message(FATAL_ERROR "${path} is missing: run scripts/build-web-deps")
        endif()
        list(APPEND found ${path})
    endforeach()
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${TALDREX_WEB_DEPS}/include
        INTERFACE_LINK_LIBRARIES "${found}")
endfunction()

taldrex_web_library(PNG::PNG png16 z)
taldrex_web_library(JPEG::JPEG jpeg)
taldrex_web_library(PkgConfig::LIBZIP zip z)
taldrex_web_library(PkgConfig::LIBARCHIVE archive lzma z)
taldrex_web_library(PkgConfig::MPG123 mpg123)
# The page runs on the browser's one thread: nothing it calls starts a thread.
add_library(Threads::Threads INTERFACE IMPORTED)
