# cmake -DHELP2MAN=... -DPROGRAM=<program file> -DWHAT="<one line>" -DOUT=<page.1> -P make_man_page.cmake
# A program's man page from its own --help and --version, made without a
# display (a desktop program answers both before it needs one), and its
# gzip'd copy beside it for the package.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
          ${HELP2MAN} --locale=C.UTF-8 --no-info --no-discard-stderr --name=${WHAT} --output=${OUT} ${PROGRAM}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man ${PROGRAM}: ${err}")
endif()
execute_process(COMMAND gzip -n -9 -c ${OUT} OUTPUT_FILE ${OUT}.gz RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip ${OUT} failed")
endif()
