#include "core/PassPhrases.h"

namespace {
// Stored files were enciphered with these: a changed phrase no longer opens them.
const std::string kPassPhrases[4] = {
    "Amber river7 crosses quiet stone bridges nightly",
    "Copper lanterns guide 427 silent harbourferries",
    "Granite towers hold 19623 restless northernfalcons",
    "Velvet orchards shelter 88 patient wintersparrows",
};
}  // namespace

const std::string& StoredPassPhrase(int index) {
    static const std::string none;
    return index >= 1 && index <= 4 ? kPassPhrases[index - 1] : none;
}
