# Run by cpack after it has built the package. cpack gives the archive's own
# members modes from the umask; dpkg-deb packs the same control files and
# contents again with fixed modes, root as owner, file names in order and
# every time stamp at most SOURCE_DATE_EPOCH, so the package's bytes depend
# on the commit alone.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${tree} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
