# Boost.Math (header-only) as the target orvalis_boost_math: Student's t
# distribution for the significance tests. Taken from the machine when CMake
# finds it (vcpkg's boost-math port, or a whole Boost such as Debian's
# libboost-math-dev), otherwise the standalone Boost.Math release is fetched
# at configure time and used without the rest of Boost.
if(CMAKE_CROSSCOMPILING)
  # As for nlohmann/json: only the host's boost/ folder is linked into the
  # build tree, never its whole /usr/include.
  find_path(ORVALIS_BOOST_HOST_INCLUDE boost/math/distributions/students_t.hpp PATHS /usr/include /usr/local/include
            NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(ORVALIS_BOOST_HOST_INCLUDE)
    set(ORVALIS_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
    file(MAKE_DIRECTORY ${ORVALIS_BOOST_INCLUDE})
    file(CREATE_LINK ${ORVALIS_BOOST_HOST_INCLUDE}/boost ${ORVALIS_BOOST_INCLUDE}/boost SYMBOLIC)
    add_library(orvalis_boost_math INTERFACE)
    target_include_directories(orvalis_boost_math SYSTEM INTERFACE ${ORVALIS_BOOST_INCLUDE})
  endif()
endif()
if(NOT TARGET orvalis_boost_math)
  add_library(orvalis_boost_math INTERFACE)
  find_package(boost_math CONFIG QUIET)
  if(boost_math_FOUND)
    target_link_libraries(orvalis_boost_math INTERFACE Boost::math)
  else()
    find_package(Boost 1.74 CONFIG QUIET)
    if(Boost_FOUND)
      target_link_libraries(orvalis_boost_math INTERFACE Boost::headers)
    else()
      include(FetchContent)
      # SOURCE_SUBDIR names a folder without a CMakeLists.txt: only the headers are used.
      FetchContent_Declare(boost_math URL https://github.com/boostorg/math/archive/refs/tags/boost-1.86.0.tar.gz
                           SOURCE_SUBDIR headers-only)
      FetchContent_MakeAvailable(boost_math)
      target_include_directories(orvalis_boost_math SYSTEM INTERFACE ${boost_math_SOURCE_DIR}/include)
      target_compile_definitions(orvalis_boost_math INTERFACE BOOST_MATH_STANDALONE)
    endif()
  endif()
endif()
