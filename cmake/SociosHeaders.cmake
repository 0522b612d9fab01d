# socios_headers(TARGET PUBLIC HEADER...)
# What a library of the folder being configured lets others include: its public headers, and nothing else, under
# the names the code uses ("store/MemberStore.h"). Its own sources also see its other headers. A header of a layer
# that the library does not link cannot be included: an include that reaches up, or into another library's
# insides, fails to build. The names are links in the build folder to the headers in the source folder.
function(socios_headers target)
    cmake_parse_arguments(ARG "" "" "PUBLIC" ${ARGN})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    get_filename_component(parent "${folder}" DIRECTORY)
    set(public ${CMAKE_BINARY_DIR}/include/${target})
    set(private ${CMAKE_BINARY_DIR}/include/${target}-own)
    file(REMOVE_RECURSE ${public} ${private})
    file(MAKE_DIRECTORY ${public}/${folder} ${private}/${parent})
    set(linked TRUE)
    foreach(header ${ARG_PUBLIC})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${public}/${folder}/${header} RESULT failed SYMBOLIC)
        if(failed)
            set(linked FALSE)
        endif()
    endforeach()
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${private}/${folder} RESULT failed SYMBOLIC)
    if(failed OR NOT linked)
        # A file system without symbolic links: every header is reachable, as it used to be.
        message(STATUS "${target}: no symbolic links here; every header of the project can be included")
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
        return()
    endif()
    target_include_directories(${target} PUBLIC ${public} PRIVATE ${private})
endfunction()
