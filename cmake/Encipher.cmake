# dalv_encipher_data(<source file under data/> <output file name> <pass phrase number>)
# Enciphers data/<source> at build time with the stored pass phrase of that number
# (core/PassPhrases.h) into the program's bin/data/<output>, from where the
# per-user data folder is kept current at start-up. The plain sources live in data/sources/, which
# the data copy skips.
function(dalv_encipher_data source output passPhraseNumber)
  set(in ${CMAKE_SOURCE_DIR}/data/${source})
  set(out ${DALV_BIN_DIR}/data/${output})
  add_custom_command(OUTPUT ${out}
    COMMAND dalv_encipher ${passPhraseNumber} ${in} ${out}
    DEPENDS dalv_encipher ${in}
    COMMENT "Enciphering data/${source} into data/${output}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${output} id)
  add_custom_target(dalv_encipher_${id} ALL DEPENDS ${out})
endfunction()
