# Files built into the program as data: orvalis_embed_files(TARGET OUTPUT HEADER NAME=FILE...)
# adds to TARGET a source file, generated at build time into OUTPUT, that defines for each
# NAME `const std::string_view NAME`, the bytes of FILE, declared `extern` in HEADER (which
# the generated file includes). The bytes are written as a character array, which every
# compiler takes at any size (MSVC refuses string literals beyond 16 KB, and beyond 64 KB
# when pieces are joined); nothing is read from disk at run time.
#
# The build runs this file as a script (cmake -P) to write OUTPUT.

if(CMAKE_SCRIPT_MODE_FILE)
  string(REPLACE "|" ";" entries "${ENTRIES}")
  set(definitions "")
  set(views "")
  foreach(entry IN LISTS entries)
    string(FIND "${entry}" "=" at)
    string(SUBSTRING "${entry}" 0 ${at} name)
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${entry}" ${at} -1 file)
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" digits)
    if(digits EQUAL 0)
      message(FATAL_ERROR "embed_files: ${file} is empty")
    endif()
    math(EXPR size "${digits} / 2")
    # 24 bytes a line, each as '\xNN'.
    string(REPEAT "[0-9a-f]" 48 line)
    string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    get_filename_component(shown "${file}" NAME)
    string(APPEND definitions "\n// ${shown}, ${size} bytes\nconst char ${name}Bytes[] = {\n${bytes}\n};\n")
    string(APPEND views "const std::string_view ${name}(${name}Bytes, sizeof(${name}Bytes));\n")
  endforeach()
  set(text "// Written by the build (cmake/embed_files.cmake); do not edit.\n#include \"${HEADER}\"\n\nnamespace {\n${definitions}\n}  // namespace\n\n${views}")
  file(WRITE "${OUTPUT}" "${text}")
  return()
endif()

set(ORVALIS_EMBED_FILES_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(orvalis_embed_files target output header)
  set(files "")
  foreach(entry IN LISTS ARGN)
    string(REGEX REPLACE "^[^=]*=" "" file "${entry}")
    list(APPEND files "${file}")
  endforeach()
  list(JOIN ARGN "|" entries)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${output}" "-DHEADER=${header}" "-DENTRIES=${entries}"
            -P ${ORVALIS_EMBED_FILES_SCRIPT}
    DEPENDS ${files} ${ORVALIS_EMBED_FILES_SCRIPT}
    COMMENT "Embedding ${header} data"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
