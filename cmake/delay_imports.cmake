# Delay-imported DLLs (MinGW only): import libraries whose functions load their DLL on first
# call, through the module's own loader (src/impl/delay_load.cpp), which each library carries.
# The names in cmake/delay/*.def carry the 32-bit stdcall decoration; the 64-bit ones have none.
if(NOT MINGW)
  return()
endif()

add_library(quarnel_delay_loader OBJECT ${CMAKE_SOURCE_DIR}/src/impl/delay_load.cpp)
target_link_libraries(quarnel_delay_loader PRIVATE quarnel_warnings)

find_program(QUARNEL_DLLTOOL NAMES ${QUARNEL_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(QUARNEL_AR NAMES ${QUARNEL_MINGW_TRIPLE}-ar REQUIRED)

# quarnel_delay_import(NAME): the interface target quarnel_delay_NAME, to link in place of NAME.
function(quarnel_delay_import name)
  set(dir ${CMAKE_BINARY_DIR}/delay)
  set(def ${dir}/${name}.def)
  set(lib ${dir}/lib${name}_delay.a)
  # Read when configuring: an edit of the list has to configure again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/delay/${name}.def)
  file(READ ${CMAKE_SOURCE_DIR}/cmake/delay/${name}.def text)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    set(kill_at "")
  else()
    set(kill_at -k)
  endif()
  file(WRITE ${def} "${text}")
  add_custom_command(
    OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${lib}
    COMMAND ${QUARNEL_DLLTOOL} ${kill_at} --input-def ${def} --dllname ${name}.dll --output-delaylib ${lib}
    COMMAND ${QUARNEL_AR} rs ${lib} $<TARGET_OBJECTS:quarnel_delay_loader>
    DEPENDS ${def} quarnel_delay_loader $<TARGET_OBJECTS:quarnel_delay_loader>
    COMMAND_EXPAND_LISTS
    VERBATIM)
  add_custom_target(quarnel_delay_${name}_lib DEPENDS ${lib})
  add_library(quarnel_delay_${name} INTERFACE)
  target_link_libraries(quarnel_delay_${name} INTERFACE ${lib})
  add_dependencies(quarnel_delay_${name} quarnel_delay_${name}_lib)
endfunction()

quarnel_delay_import(gdiplus)
quarnel_delay_import(wtsapi32)
