// The program an Access catalogue is read in, away from the process that asks for it.
#pragma once

namespace jet {

// File name of the reader program, kept in the program folder.
inline constexpr const char* ReaderProgramName = "dalvane-access-reader";

// The reader program: dalvane-access-reader FILE MEMORY-MIB reads the catalogue of FILE within
// MEMORY-MIB MiB of resident memory and writes it, or why it cannot be read, on its standard
// output in the form the database reader decodes. Returns the program's exit status.
int ServeReader(int argc, char** argv);

}  // namespace jet
