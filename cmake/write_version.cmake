# cmake -DSOURCE_DIR=<tree> -DBASE=<project version> -DOUT_DIR=<folder> -P write_version.cmake
#
# The version every program states: the project version, and in a git
# checkout "+git<commit date>.<commit count>.g<hash>" (".dirty" with changes
# not committed), so that versions sort by date and then by commit. Run at
# every build; the files are rewritten only when the version changed.
set(version "${BASE}")
# The date a package states for this version: the commit's, else the tree's.
file(TIMESTAMP "${SOURCE_DIR}/CMakeLists.txt" commit_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
find_program(GIT git)
if(GIT)
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
                  RESULT_VARIABLE rc OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # A tarball unpacked inside some other checkout is not that checkout.
  if(rc EQUAL 0)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" src)
  endif()
  if(rc EQUAL 0 AND top STREQUAL src)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC
                            "${GIT}" -C "${SOURCE_DIR}" log -1 --format=%cd --date=format-local:%Y%m%d
                    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-list --count HEAD
                    OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC LC_ALL=C
                            "${GIT}" -C "${SOURCE_DIR}" log -1 --format=%cd
                            "--date=format-local:%a, %d %b %Y %H:%M:%S +0000"
                    OUTPUT_VARIABLE git_date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short=9 HEAD
                    OUTPUT_VARIABLE hash OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # No index lock taken: a build must not get in the way of a commit.
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" --no-optional-locks status --porcelain
                            --untracked-files=no
                    OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(date MATCHES "^[0-9]+$" AND count MATCHES "^[0-9]+$" AND hash MATCHES "^[0-9a-f]+$" AND
       git_date MATCHES "^[A-Z][a-z][a-z], ")
      set(version "${BASE}+git${date}.${count}.g${hash}")
      set(commit_date "${git_date}")
      if(NOT changes STREQUAL "")
        string(APPEND version ".dirty")
      endif()
    endif()
  endif()
endif()

file(WRITE "${OUT_DIR}/version.cpp.new"
     "// Written at build time by cmake/write_version.cmake.\n"
     "#include \"kv/common/version.h\"\n\n"
     "namespace kv {\n\n"
     "std::string_view version() {\n    return \"${version}\";\n}\n\n"
     "} // namespace kv\n")
file(WRITE "${OUT_DIR}/version.txt.new" "${version}\n")
file(WRITE "${OUT_DIR}/version-date.txt.new" "${commit_date}\n")
foreach(f version.cpp version.txt version-date.txt)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${OUT_DIR}/${f}.new" "${OUT_DIR}/${f}")
  file(REMOVE "${OUT_DIR}/${f}.new")
endforeach()
