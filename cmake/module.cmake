if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QUARNEL_ARCH x64)
else()
  set(QUARNEL_ARCH ia32)
endif()

set(QUARNEL_WIN32_LIBS user32 gdi32 gdiplus ole32 oleaut32 uuid shell32 advapi32 wtsapi32 psapi
                       iphlpapi ws2_32)

# The two DLLs that the host does not load itself are loaded on first use rather than with the
# module: a require then costs no more than it must.
include(${CMAKE_CURRENT_LIST_DIR}/delay_imports.cmake)
if(MINGW)
  list(TRANSFORM QUARNEL_WIN32_LIBS REPLACE "^(gdiplus|wtsapi32)$" "quarnel_delay_\\1")
  get_target_property(orlix_libs orlix INTERFACE_LINK_LIBRARIES)
  list(TRANSFORM orlix_libs REPLACE "^wtsapi32$" "quarnel_delay_wtsapi32")
  set_target_properties(orlix PROPERTIES INTERFACE_LINK_LIBRARIES "${orlix_libs}")
endif()

# Everything of the module but its registration, so the test add-on is built from the same code.
file(GLOB QUARNEL_ADDON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/addon/*.cpp)
list(REMOVE_ITEM QUARNEL_ADDON_SOURCES ${CMAKE_SOURCE_DIR}/src/addon/registration.cpp)
file(GLOB QUARNEL_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/core/*.cpp)
file(GLOB QUARNEL_IMPL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/impl/*.cpp)
# Comes with the delay-import libraries, where it is wanted.
list(REMOVE_ITEM QUARNEL_IMPL_SOURCES ${CMAKE_SOURCE_DIR}/src/impl/delay_load.cpp)

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
