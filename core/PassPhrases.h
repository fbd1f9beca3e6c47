// The pass phrases of the enciphered files, kept here only: the program reads its files with
// them, and the build enciphers the data files with them (dalv_encipher takes the number).
#pragma once

#include <string>

// 1 the data-type map (DataTypes.dvd), 2 the catalogue queries (Queries.dvq), 3 screenshot
// files (dvs), 4 the project history (history.dvh); "" for any other index.
const std::string& StoredPassPhrase(int index);
