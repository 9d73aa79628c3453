# Read by cpack when it starts (CPACK_PROJECT_CONFIG_FILE of
# cmake/MivPackage.cmake), before it installs the packages' files: the
# changelog of packaging/changelog, whose entries end with the name of the
# maintainer who makes the package, gzipped as Debian keeps it (gzip -n: the
# same bytes every time), for the install rules to put in each package.
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  message(FATAL_ERROR "name the package's maintainer: cpack -D CPACK_DEBIAN_PACKAGE_MAINTAINER=\"Name <address>\"")
endif()
file(READ ${CPACK_MIV_CHANGELOG} miv_changelog)
string(REPLACE "@MAINTAINER@" "${CPACK_DEBIAN_PACKAGE_MAINTAINER}" miv_changelog "${miv_changelog}")
get_filename_component(miv_folder ${CPACK_MIV_CHANGELOG_GZ} DIRECTORY)
file(WRITE ${miv_folder}/changelog "${miv_changelog}")
# Put in place whole, so that an install running meanwhile takes the old file or the new.
execute_process(COMMAND gzip -9nc changelog OUTPUT_FILE changelog.gz.part
  WORKING_DIRECTORY ${miv_folder} COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${miv_folder}/changelog.gz.part ${CPACK_MIV_CHANGELOG_GZ})
