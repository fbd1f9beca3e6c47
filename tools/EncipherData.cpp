// Enciphers a data file at build time with one of the stored pass phrases, in the form the
// program decrypts.
//   dalv_encipher <pass phrase number> <input> <output>
#include "core/PassPhrases.h"
#include "platform/crypto/Crypto.h"
#include "platform/fs/Paths.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <pass phrase number> <input> <output>\n", argv[0]);
        return 2;
    }
    const std::string number = argv[1], input = argv[2], output = argv[3];
    const std::string& passPhrase = number.size() == 1 ? StoredPassPhrase(number[0] - '0') : std::string();
    if (passPhrase.empty()) {
        std::fprintf(stderr, "%s: no stored pass phrase %s\n", argv[0], number.c_str());
        return 2;
    }
    std::string plain;
    if (!files::readTextFile(input, plain)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], input.c_str());
        return 1;
    }
    if (plain.empty()) {
        std::fprintf(stderr, "%s: %s is empty\n", argv[0], input.c_str());
        return 1;
    }
    std::string envelope;
    if (crypto::encryptText(plain, passPhrase, envelope) != crypto::Status::Ok || envelope.empty()) {
        std::fprintf(stderr, "%s: encryption of %s failed\n", argv[0], input.c_str());
        return 1;
    }
    const std::string folder = files::parentFolder(output);
    if (!folder.empty() && !files::folderExists(folder) && !files::createFolders(folder)) {
        std::fprintf(stderr, "%s: cannot create %s\n", argv[0], folder.c_str());
        return 1;
    }
    if (!files::writeTextFile(output, envelope)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], output.c_str());
        return 1;
    }
    return 0;
}
