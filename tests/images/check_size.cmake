# -DFILE=path -DMAX=bytes: the file exists and is at most MAX bytes long
# (prints the size either way).
if(NOT EXISTS ${FILE})
  message(FATAL_ERROR "${FILE} does not exist")
endif()
file(SIZE ${FILE} size)
message(STATUS "${FILE}: ${size} bytes")
if(size GREATER MAX)
  message(FATAL_ERROR "${FILE} is ${size} bytes, more than ${MAX}")
endif()
