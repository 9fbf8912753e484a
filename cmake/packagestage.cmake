# Run by cpack on the staged files before it packs them: every file and
# directory gets the package time and a mode that owes nothing to the
# umask.
file(GLOB_RECURSE staged LIST_DIRECTORIES true ${CPACK_TEMPORARY_DIRECTORY}/*)
execute_process(COMMAND chmod u=rwX,go=rX -- ${staged}
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} -- ${staged}
  COMMAND_ERROR_IS_FATAL ANY)
