// What a recorded drive started from beyond the built-in machine: the machine file it was driven
// with (its name and the hash of its bytes) and the control inputs given at start. Written as
// comment lines near a key script's top, which readers that do not know them skip.
#pragma once

#include <string>
#include <string_view>

struct RecordedStart {
    std::string machineHash; // empty: the built-in machine
    std::string machinePath; // empty when the name could not be written on one line
    bool hasCrankSpeed = false;
    float crankSpeed = 0.0f;
    bool hasFriction = false;
    float friction = 0.0f;
};

// The comment lines for `start`; empty when it holds nothing beyond the built-in start.
std::string RecordedStartLines(const RecordedStart& start);

// The start a script's comment lines state; fields the script does not state stay unset. A
// malformed line of this kind is ignored, as every comment is.
RecordedStart ReadRecordedStart(std::string_view scriptText);
