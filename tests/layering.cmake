# Holds the layers of src/: every #include "folder/…" in a file of src/<folder>/ must name its own
# folder or one below it in this order, so that the logic never depends on what sits above it:
#
#   core < settings < platform < chimes, calculator < clock < app
#
# chimes and calculator stand side by side and may not include each other. qt/, the Qt adaptor
# of the ports, sees only core and platform; only app, the composition root, sees qt.
# Run as: cmake -DSRC=<src folder> -P layering.cmake
cmake_minimum_required(VERSION 3.25)

set(below_core core)
set(below_settings core settings)
set(below_platform core platform)
set(below_chimes core settings platform chimes)
set(below_calculator core settings platform calculator)
set(below_clock core settings platform chimes calculator clock)
set(below_qt core platform qt)
set(below_app core settings platform chimes calculator clock qt app)

if(NOT IS_DIRECTORY "${SRC}")
    message(FATAL_ERROR "layering: no source folder given (-DSRC=…)")
endif()
get_filename_component(SRC "${SRC}" ABSOLUTE)

file(GLOB_RECURSE sources RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
set(faults 0)
set(checked 0)
foreach(source IN LISTS sources)
    if(NOT source MATCHES "/")
        continue() # src/CMakeLists.txt and the like
    endif()
    string(REGEX MATCH "^[^/]+" folder "${source}")
    if(NOT DEFINED below_${folder})
        message(SEND_ERROR "${source}: the folder ${folder}/ has no place in the layers")
        math(EXPR faults "${faults} + 1")
        continue()
    endif()
    file(STRINGS "${SRC}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
        math(EXPR checked "${checked} + 1")
        if(NOT included MATCHES "/")
            message(SEND_ERROR "${source}: includes \"${included}\" without its folder")
            math(EXPR faults "${faults} + 1")
            continue()
        endif()
        string(REGEX MATCH "^[^/]+" target "${included}")
        if(NOT target IN_LIST below_${folder})
            message(SEND_ERROR
                "${source}: includes \"${included}\", but ${folder}/ may include only: "
                "${below_${folder}}")
            math(EXPR faults "${faults} + 1")
        endif()
    endforeach()
endforeach()

if(faults GREATER 0)
    message(FATAL_ERROR "layering: ${faults} include(s) against the layers")
endif()
message(STATUS "layering: ${checked} includes in ${SRC} point down the layers")
