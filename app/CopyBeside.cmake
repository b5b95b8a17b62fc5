# Copies the series files, the help pages and the read-me file beside the
# program in the build tree: cmake -DSOURCE=... -DDEST=... -P CopyBeside.cmake
foreach(dir units tovelhelp)
  if(IS_DIRECTORY "${SOURCE}/${dir}")
    file(REMOVE_RECURSE "${DEST}/${dir}")
    file(COPY "${SOURCE}/${dir}" DESTINATION "${DEST}")
  endif()
endforeach()
if(EXISTS "${SOURCE}/readme.txt")
  file(COPY "${SOURCE}/readme.txt" DESTINATION "${DEST}")
endif()
