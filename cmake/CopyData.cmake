# Copies data/ into the program folder: sub-folders keep their place (styles, images, help,
# preview), plain files go to data/. sources/ holds the plain text of enciphered files
# (cmake/Encipher.cmake) and is not copied.
file(GLOB entries RELATIVE ${SRC} ${SRC}/*)
foreach(e IN LISTS entries)
  if(e STREQUAL "sources")
    continue()
  elseif(IS_DIRECTORY ${SRC}/${e})
    file(COPY ${SRC}/${e} DESTINATION ${DST})
  else()
    file(COPY ${SRC}/${e} DESTINATION ${DST}/data)
  endif()
endforeach()
