# One static library per source module: every .cpp directly in src/<name>/.
# A module without sources yet becomes an interface library so that
# dependants still link.
function(saver_module name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  if(sources)
    add_library(saver_${name} STATIC ${sources})
    target_include_directories(saver_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(saver_${name} PUBLIC ${M_DEPS})
  else()
    add_library(saver_${name} INTERFACE)
    target_include_directories(saver_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(saver_${name} INTERFACE ${M_DEPS})
  endif()
endfunction()

# One executable per folder: every .cpp directly in the folder.
function(saver_executable name dir)
  cmake_parse_arguments(E "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(sources)
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${E_DEPS})
  endif()
endfunction()
