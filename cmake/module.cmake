if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QUARNEL_ARCH x64)
else()
  set(QUARNEL_ARCH ia32)
endif()

set(QUARNEL_WIN32_LIBS user32 gdi32 gdiplus ole32 oleaut32 uuid shell32 advapi32 wtsapi32 psapi
                       iphlpapi ws2_32)

# Everything of the module but its registration, so the test add-on is built from the same code.
file(GLOB QUARNEL_ADDON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/addon/*.cpp)
list(REMOVE_ITEM QUARNEL_ADDON_SOURCES ${CMAKE_SOURCE_DIR}/src/addon/registration.cpp)
file(GLOB QUARNEL_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/core/*.cpp)
file(GLOB QUARNEL_IMPL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/impl/*.cpp)

add_library(quarnel_objects OBJECT ${QUARNEL_CORE_SOURCES} ${QUARNEL_ADDON_SOURCES} ${QUARNEL_IMPL_SOURCES})
target_include_directories(quarnel_objects PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(quarnel_objects PUBLIC host_api quarnel_core orlix ${QUARNEL_WIN32_LIBS}
                                      PRIVATE quarnel_warnings)

function(quarnel_node_module target)
  add_library(${target} SHARED ${ARGN})
  target_link_libraries(${target} PRIVATE quarnel_objects quarnel_warnings)
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".node")
  if(MINGW)
    target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s>)
  endif()
endfunction()

quarnel_node_module(Quarnel ${CMAKE_SOURCE_DIR}/src/addon/registration.cpp)
# scripts/build copies it to prebuilds/win32-<arch>/, where the package loader finds it.
set_target_properties(Quarnel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
