// NoFaults.cpp - the fault-injection seam as the shipped DLL has it: no call
// ever fails on purpose and nothing is read from the environment. The tests'
// build of the DLL has Faults.cpp in its place.
#include "Faults.h"

namespace qovi {

void armInjectedFailures() {}

bool injectedFailure(Call) { return false; }

void noteLogRotation() {}

void noteLockWait() {}

void waitAtSaveGate() {}

}  // namespace qovi
