// The walk's measures, kept every physics step while asked for (koltrep-replay --measures): the
// crank motors' positive work, each foot's stance and its point on the chassis. Reading them
// leaves the dynamics alone: the engine only writes the forces it has already found into the
// feedback records, and the stance comes from the contact record, which only reads the geoms.
#pragma once

#include <ode/ode.h>

#include "records/trace.h"

extern bool walkMeasuresOn;

// Where the foot of leg (j, e) is in the chassis's own frame: x along the chassis, the legs
// hanging along +y.
void FootInChassisFrame(int j, int e, dVector3 out);

// Before each physics step: the crank hinges report the forces the step finds.
void PrepareWalkStep();
// After each physics step: adds the step's positive crank work.
void RecordWalkStep();
// A rebuilt machine starts with no work done.
void ClearWalkRecord();
// The measures' columns of a trace row, as of the last physics step.
void CaptureWalkMeasures(TraceRow& row);
