# nlohmann/json (header-only) as the target orvalis_json: the package CMake
# finds on the machine (Debian's nlohmann-json3-dev, vcpkg, ...), or else its
# release fetched at configure time.
if(CMAKE_CROSSCOMPILING)
  # A cross build must not search the host's whole /usr/include (its C library
  # headers would shadow the target's): only the library's own folder is
  # linked into the build tree.
  find_path(ORVALIS_JSON_HOST_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include
            NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(ORVALIS_JSON_HOST_INCLUDE)
    set(ORVALIS_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
    file(MAKE_DIRECTORY ${ORVALIS_JSON_INCLUDE})
    file(CREATE_LINK ${ORVALIS_JSON_HOST_INCLUDE}/nlohmann ${ORVALIS_JSON_INCLUDE}/nlohmann SYMBOLIC)
    add_library(orvalis_json INTERFACE)
    target_include_directories(orvalis_json SYSTEM INTERFACE ${ORVALIS_JSON_INCLUDE})
  endif()
endif()
if(NOT TARGET orvalis_json)
  find_package(nlohmann_json 3.2 CONFIG QUIET)
  if(NOT nlohmann_json_FOUND)
    include(FetchContent)
    FetchContent_Declare(nlohmann_json URL https://github.com/nlohmann/json/releases/download/v3.11.3/json.tar.xz)
    FetchContent_MakeAvailable(nlohmann_json)
  endif()
  add_library(orvalis_json INTERFACE)
  target_link_libraries(orvalis_json INTERFACE nlohmann_json::nlohmann_json)
endif()
