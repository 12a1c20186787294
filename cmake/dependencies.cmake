if(QUARNEL_MSVC_MODULE)
  include(${CMAKE_CURRENT_LIST_DIR}/msvc-dependencies.cmake)
  return()
endif()

# Only the headers each dependency needs are exposed to the compiler: the cross compiler
# must never see the rest of the host's /usr/include.
set(QUARNEL_SYSDEPS ${CMAKE_BINARY_DIR}/sysdeps/include)
file(MAKE_DIRECTORY ${QUARNEL_SYSDEPS})

function(quarnel_expose_header path)
  if(NOT EXISTS /usr/include/${path})
    message(FATAL_ERROR "/usr/include/${path} is missing: run scripts/bootstrap")
  endif()
  file(COPY /usr/include/${path} DESTINATION ${QUARNEL_SYSDEPS})
endfunction()

quarnel_expose_header(nlohmann)
add_library(nlohmann_json_only INTERFACE)
target_include_directories(nlohmann_json_only SYSTEM INTERFACE ${QUARNEL_SYSDEPS})
target_compile_definitions(nlohmann_json_only INTERFACE JSON_NOEXCEPTION=0)

if(WIN32)
  # libuv's headers serve the Windows build through uv/win.h.
  set(QUARNEL_UV_INCLUDE ${CMAKE_BINARY_DIR}/sysdeps/uv)
  file(MAKE_DIRECTORY ${QUARNEL_UV_INCLUDE})
  foreach(item uv.h uv)
    if(NOT EXISTS /usr/include/${item})
      message(FATAL_ERROR "/usr/include/${item} is missing: run scripts/bootstrap")
    endif()
    file(COPY /usr/include/${item} DESTINATION ${QUARNEL_UV_INCLUDE})
  endforeach()

  set(QUARNEL_NAPI_INCLUDE ${CMAKE_SOURCE_DIR}/node_modules/node-api-headers/include
      CACHE PATH "Node-API headers")
  if(NOT EXISTS ${QUARNEL_NAPI_INCLUDE}/node_api.h)
    message(FATAL_ERROR "Node-API headers not found in ${QUARNEL_NAPI_INCLUDE}: run npm install")
  endif()

  add_library(host_api INTERFACE)
  target_include_directories(host_api SYSTEM INTERFACE ${QUARNEL_NAPI_INCLUDE} ${QUARNEL_UV_INCLUDE})
  # The host's functions are defined by our own lazy binding, not imported from a DLL.
  target_compile_definitions(host_api INTERFACE NAPI_EXTERN= NAPI_VERSION=8 BUILDING_NODE_EXTENSION
                                                WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
endif()

# GoogleTest is compiled from Debian's source package with each toolchain, so native,
# sanitizer and cross builds all get a matching library.
if(NOT QUARNEL_FUZZ)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources missing: run scripts/bootstrap")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
