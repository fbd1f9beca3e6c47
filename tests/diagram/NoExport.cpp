// A diagram library that lacks one of its two exports.
extern "C" __attribute__((visibility("default"))) int InitializeVariable() { return 1; }
