# Copies data/ into the program folder: sub-folders keep their place (styles, images, help,
# preview), plain files go to data/.
file(GLOB entries RELATIVE ${SRC} ${SRC}/*)
foreach(e IN LISTS entries)
  if(IS_DIRECTORY ${SRC}/${e})
    file(COPY ${SRC}/${e} DESTINATION ${DST})
  else()
    file(COPY ${SRC}/${e} DESTINATION ${DST}/data)
  endif()
endforeach()
