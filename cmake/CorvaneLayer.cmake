# One static library per folder of the plug-in, each linking the layer below it:
# convert <- rtm <- sync <- plugin.
function(corvane_layer name)
    cmake_parse_arguments(LAYER "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${LAYER_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${LAYER_LINKS})
    target_compile_options(${name} PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)
    # A wrong-way include fails the build before anything is compiled.
    add_dependencies(${name} corvane_layer_check)
endfunction()
