# The web platform and the page over it (included from src/CMakeLists.txt for Emscripten).
taldrex_layer(taldrex_web web)
target_link_libraries(taldrex_web PUBLIC taldrex_demo taldrex_gpu_gles2)

# taldrex.js and taldrex.wasm: the show's code; page.js, taldrex.html and page.css beside
# them are the page. The heap grows as the show needs, to the 4 GiB a wasm heap can hold;
# a failed allocation ends the program through the page's abort handler, which says so.
add_executable(taldrex page/page_main.cpp)
target_link_libraries(taldrex PRIVATE taldrex_web)
target_link_options(taldrex PRIVATE
    -sENVIRONMENT=web
    -sALLOW_MEMORY_GROWTH=1
    -sINITIAL_MEMORY=64MB
    -sMAXIMUM_MEMORY=4GB
    -sTOTAL_STACK=1MB
    -sFORCE_FILESYSTEM=1
    -sMIN_WEBGL_VERSION=1
    -sMAX_WEBGL_VERSION=1
    -sEXPORTED_RUNTIME_METHODS=FS,ccall,cwrap,UTF8ToString,HEAPU8
    -sEXPORTED_FUNCTIONS=_main,_malloc,_free)
set_target_properties(taldrex PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
foreach(file taldrex.html page.js page.css)
    add_custom_command(TARGET taldrex POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/page/${file}
            $<TARGET_FILE_DIR:taldrex>/${file}
        VERBATIM)
endforeach()
