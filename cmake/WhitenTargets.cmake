# One static library per subsystem folder, built from every .cpp in it.
# A folder that holds only headers becomes an interface library.
function(whiten_add_module name)
    cmake_parse_arguments(ARG "" "" "DEPENDS;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${name}/*.cpp)
    foreach(skip IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/${name}/${skip})
    endforeach()
    set(target whiten_${name})
    if(sources)
        add_library(${target} STATIC ${sources})
        target_link_libraries(${target} PUBLIC whiten_options ${ARG_DEPENDS} Threads::Threads)
    else()
        add_library(${target} INTERFACE)
        target_link_libraries(${target} INTERFACE whiten_options ${ARG_DEPENDS} Threads::Threads)
    endif()
endfunction()

# One test executable per test source file, so that a test file being worked on
# never stops the others from building.
function(whiten_add_tests folder)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
    foreach(source IN LISTS sources)
        get_filename_component(stem ${source} NAME_WE)
        set(target ${folder}_${stem})
        add_executable(${target} ${source})
        target_link_libraries(${target} PRIVATE ${ARG_LIBS} whiten_test_support
            GTest::gtest GTest::gtest_main)
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
            WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
            PROPERTIES LABELS ${folder})
    endforeach()
endfunction()
