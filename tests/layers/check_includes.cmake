# Each folder of src/ may include its own headers and those of the folders below it, never
# one above or beside it. Run as: cmake -DSOURCE_DIR=<repository> -P check_includes.cmake
set(LAYERS platform position movegen eval search uci) # bottom first

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*.cpp"
     "${SOURCE_DIR}/src/*.h")
set(faults "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${source}")
  list(FIND LAYERS "${folder}" level)
  if(level EQUAL -1)
    string(APPEND faults "src/${source}: folder ${folder} has no place in the layer order\n")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/src/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    string(REGEX MATCH "^[^/]+" target "${header}")
    list(FIND LAYERS "${target}" target_level)
    if(target_level EQUAL -1 OR target_level GREATER level)
      string(APPEND faults "src/${source}: includes ${header}, which is not below ${folder}\n")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes against the layer order (${LAYERS}):\n${faults}")
endif()
