// The program's own options that take a value (--data, --record, --trace, --machine,
// --crank-speed, --friction), taken out of the command line before the program reads the rest
// as it always has.
#pragma once

#include <initializer_list>
#include <string>

struct ValueOption {
    const char* name;
    std::string* value; // empty until given
};

// Moves each option of `options` and its value out of argv; the other arguments keep their
// order. False with the message when one has no value (`needsValue`, a translated format with
// one %s for the option's name) or is given twice.
bool TakeValueOptions(int& argc, char** argv, std::initializer_list<ValueOption> options,
                      const char* needsValue, std::string& error);
