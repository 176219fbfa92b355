// The per-tick key status: the tick's key sample against the last tick's. A file of its own, so
// a program that samples its keys some other way (the no-draw evaluator plays a script) reads
// them as the program does without the devices, and without the libraries they stand on.
#include "input/input.h"

#include <cstring>

BYTE keyState[256] = {};
BYTE prevKeyState[256] = {};

int GetKey(int key) {
    // Codes outside the 256 keys read as up instead of reading past the samples.
    if (key < 0 || key > 255) return 0;
    return ((keyState[key] & 0x80) >> 6) | ((prevKeyState[key] & 0x80) >> 7);
}

void ClearInput() {
    memset(keyState, 0, sizeof(keyState));
    memset(prevKeyState, 0, sizeof(prevKeyState));
}
