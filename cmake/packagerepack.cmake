# Run by cpack once it has made the package, to take out what still
# varies from one machine or user to another.  The .deb's members have
# the modes the umask leaves: ar's deterministic mode stores them again
# as 644, with owner 0 and time 0.  The zip's members come in the order
# the staging directory lists them and carry their owner: the zip is made
# again with the files in byte order and no owner (zip -X), with its
# local times taken in UTC.
set(stage ${CPACK_TEMPORARY_DIRECTORY})
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE ${package})
  if(package MATCHES "[.]deb$")
    execute_process(COMMAND ar rcD ${package}
      debian-binary control.tar.gz data.tar.gz
      WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
  else()
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${stage}
      ${stage}/*)
    list(SORT files)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
      zip -X -q ${package} ${files}
      WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
