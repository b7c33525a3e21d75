# cmake -DSRC=<data folder> -DDST=<run folder> -P lay_out_run_folder.cmake
file(MAKE_DIRECTORY "${DST}")
file(GLOB shipped "${SRC}/*.dat")
foreach(f ${shipped})
  get_filename_component(name "${f}" NAME)
  if(name STREQUAL "equipment.dat")
    # The user's own equipment settings outlive a rebuild.
    if(NOT EXISTS "${DST}/${name}")
      file(COPY "${f}" DESTINATION "${DST}")
    endif()
  else()
    file(COPY_FILE "${f}" "${DST}/${name}" ONLY_IF_DIFFERENT)
  endif()
endforeach()
