#include "platform/jet/ReaderProcess.h"

int main(int argc, char** argv) { return jet::ServeReader(argc, argv); }
