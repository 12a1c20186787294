# Native Windows build through cmake-js: it supplies the Node-API and libuv headers of the
# Node.js version it targets; nlohmann/json comes from a CMake package (vcpkg, for example).
find_package(nlohmann_json 3 REQUIRED)
add_library(nlohmann_json_only INTERFACE)
target_link_libraries(nlohmann_json_only INTERFACE nlohmann_json::nlohmann_json)

add_library(host_api INTERFACE)
target_include_directories(host_api SYSTEM INTERFACE ${CMAKE_JS_INC})
target_compile_definitions(host_api INTERFACE NAPI_EXTERN= NAPI_VERSION=8 BUILDING_NODE_EXTENSION
                                              WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
