# cmake -DFILE=<dll> -P CheckNoTestSeam.cmake: fails when the file names the
# environment variable of the fault-injection seam, in 8-bit or UTF-16 text.
foreach(encoding UTF-8 UTF-16LE)
  file(STRINGS "${FILE}" found ENCODING ${encoding} REGEX "QOVI_TEST_FAIL_CALLS")
  if(found)
    message(FATAL_ERROR "${FILE} has the fault-injection seam (it reads QOVI_TEST_FAIL_CALLS)")
  endif()
endforeach()
