// The replay's machine.
#include "tools/replay/machine_choice.h"

#include <cstdio>

#include <platform/i18n/i18n.h>

#include "machine/machine_file.h"
#include "sim/physics_step.h"

namespace {

// A script that names no machine is keys alone (written by hand, or recorded with the built-in
// machine): any machine may drive it without a note.
void NoteDifference(const MachineFile& file, const RecordedStart& recorded) {
    if (recorded.machineHash.empty() || recorded.machineHash == file.hash) return;
    std::fprintf(stderr, "%s\n",
                 FormatText(_("koltrep-replay: note: the machine differs: the script was "
                              "recorded with %s (%s), replaying with %s (%s)"),
                            recorded.machinePath.c_str(), recorded.machineHash.c_str(),
                            file.path.c_str(), file.hash.c_str())
                     .c_str());
}

bool LoadRecordedMachine(const RecordedStart& recorded, MachineFile& file, std::string& error) {
    if (recorded.machinePath.empty()) {
        error = FormatText(_("the script was recorded with a machine file it does not name (%s); "
                             "give --machine FILE"),
                           recorded.machineHash.c_str());
        return false;
    }
    if (!LoadMachineFile(recorded.machinePath, file, error)) {
        error =
            FormatText(_("the script was recorded with the machine %s (%s), which does not "
                         "load: %s; give --machine FILE"),
                       recorded.machinePath.c_str(), recorded.machineHash.c_str(), error.c_str());
        return false;
    }
    if (file.hash != recorded.machineHash) {
        error = FormatText(_("the machine differs: the script was recorded with %s as %s, the "
                             "file is now %s; give --machine FILE to replay with it anyway"),
                           recorded.machinePath.c_str(), recorded.machineHash.c_str(),
                           file.hash.c_str());
        return false;
    }
    return true;
}

} // namespace

bool ChooseReplayMachine(const ReplayOptions& options, const RecordedStart& recorded,
                         std::string& error) {
    MachineFile file;
    if (!options.machine.empty()) {
        if (!LoadMachineFile(options.machine, file, error)) return false;
        NoteDifference(file, recorded);
        PutMachineInForce(file.machine);
    } else if (!recorded.machineHash.empty()) {
        if (!LoadRecordedMachine(recorded, file, error)) return false;
        PutMachineInForce(file.machine);
    }
    crankSpeed = StartCrankSpeed();
    frictionCoefficient = StartFrictionCoefficient();
    if (recorded.hasCrankSpeed) crankSpeed = recorded.crankSpeed;
    if (recorded.hasFriction) frictionCoefficient = recorded.friction;
    return true;
}
