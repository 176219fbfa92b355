// One trace row taken from the simulation's process-wide state after a tick's physics step.
#pragma once

#include "records/trace.h"

// Reads the live simulation state (chassis body, hinges, control inputs, view mode).
TraceRow CaptureTraceRow(long tick);
