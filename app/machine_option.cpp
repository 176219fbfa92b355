// The program's machine and start options.
#include "app/machine_option.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include <platform/i18n/i18n.h>

#include "app/value_options.h"
#include "machine/machine_file.h"
#include "sim/machine_save.h"
#include "sim/physics_step.h"

namespace {

RecordedStart givenStart;

struct Given {
    std::string machine, crankSpeed, friction;
};

bool ReadNumber(const std::string& text, double low, double high, float& value) {
    double parsed = 0.0;
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || status != std::errc() || end != text.data() + text.size()) return false;
    if (!(parsed >= low && parsed <= high)) return false;
    value = static_cast<float>(parsed);
    return true;
}

bool TakeValues(int& argc, char** argv, Given& given, std::string& error) {
    return TakeValueOptions(argc, argv,
                            {{"--machine", &given.machine},
                             {"--crank-speed", &given.crankSpeed},
                             {"--friction", &given.friction}},
                            _("%s needs a value"), error);
}

bool PutFileInForce(const std::string& path, std::string& error) {
    MachineFile file;
    if (!LoadMachineFile(path, file, error)) return false;
    PutMachineInForce(file.machine);
    // A recording names the file so that it can be found again from any folder.
    char* absolute = realpath(path.c_str(), nullptr);
    givenStart.machinePath = absolute != nullptr ? absolute : path;
    std::free(absolute);
    givenStart.machineHash = file.hash;
    KeepFromMachineSaves(_("the machine file"), path);
    return true;
}

} // namespace

bool TakeMachineOptions(int& argc, char** argv, std::string& error) {
    Given given;
    if (!TakeValues(argc, argv, given, error)) return false;
    if (!given.crankSpeed.empty() &&
        !ReadNumber(given.crankSpeed, -100.0, 100.0, givenStart.crankSpeed)) {
        error = FormatText(_("--crank-speed needs a number from -100 to 100, not '%s'"),
                           given.crankSpeed.c_str());
        return false;
    }
    if (!given.friction.empty() && !ReadNumber(given.friction, 0.0, 1e9, givenStart.friction)) {
        error = FormatText(_("--friction needs a number from 0 to 1e9, not '%s'"),
                           given.friction.c_str());
        return false;
    }
    if (!given.machine.empty() && !PutFileInForce(given.machine, error)) return false;
    crankSpeed = StartCrankSpeed();
    frictionCoefficient = StartFrictionCoefficient();
    givenStart.hasCrankSpeed = !given.crankSpeed.empty();
    givenStart.hasFriction = !given.friction.empty();
    if (givenStart.hasCrankSpeed) crankSpeed = givenStart.crankSpeed;
    if (givenStart.hasFriction) frictionCoefficient = givenStart.friction;
    return true;
}

const RecordedStart& StartGivenByOptions() {
    return givenStart;
}
