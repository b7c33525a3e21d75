# cmake -DVERSION_DIR=<folder of version.txt> -DCHANGELOG=<CHANGELOG.md> -DOUT_DIR=<folder>
#       -DMAINTAINER=... -P write_debian_changelog.cmake
#
# The Debian changelog of this build's packages (changelog.Debian.gz: one
# entry for the version the programs state, dated with its commit) and the
# project's own CHANGELOG.md as Debian names it (changelog.gz). Each is
# compressed only when its text changed.
file(STRINGS "${VERSION_DIR}/version.txt" version LIMIT_COUNT 1)
file(STRINGS "${VERSION_DIR}/version-date.txt" date LIMIT_COUNT 1)
set(text "kelvane-vesk (${version}-1) unstable; urgency=medium

  * Kelvane-Vesk ${version}.
  * What each version brought, by capability:
    /usr/share/doc/kelvane-vesk/changelog.gz.

 -- ${MAINTAINER}  ${date}
")
function(compress text gz)
  set(plain "${gz}.txt")
  set(old "")
  if(EXISTS "${plain}")
    file(READ "${plain}" old)
  endif()
  if(NOT old STREQUAL text OR NOT EXISTS "${gz}")
    file(WRITE "${plain}" "${text}")
    execute_process(COMMAND gzip -9nc "${plain}" OUTPUT_FILE "${gz}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "gzip could not compress ${plain}")
    endif()
  endif()
endfunction()

compress("${text}" "${OUT_DIR}/changelog.Debian.gz")
file(READ "${CHANGELOG}" project_changes)
compress("${project_changes}" "${OUT_DIR}/changelog.gz")
