# Read by cpack before it stages the files: the one time that the package
# carries, for its members and for the executable's header that strip
# writes, is SOURCE_DATE_EPOCH when the environment sets it, else the
# last commit's, else (outside a git checkout) the date of the
# changelog's latest entry.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  get_filename_component(top ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY ${top} RESULT_VARIABLE failed
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(failed OR NOT epoch)
    file(STRINGS ${top}/doc/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^.*>  " "" date "${trailer}")
    execute_process(COMMAND date -d "${date}" +%s
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
