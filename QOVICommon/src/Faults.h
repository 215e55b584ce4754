// Faults.h - making chosen file and crypto calls fail, for testing the
// store's failure paths.
//
// The environment variable QOVI_TEST_FAIL_CALLS lists calls to fail as
// "kind:n" pairs separated by commas, for example "write:2,move:1": the n-th
// call of that kind after the start of a load or save fails as the real call
// would, with a plausible error code. Kinds: open, read, write, flush,
// replace (fails before anything moved), replace-half (moves the old file to
// the backup, then fails as when the new file cannot be moved in place),
// move, dpapi (the system's data protection unavailable), dpapi-rejected
// (it refuses a key as not valid in its state), lock (the bank lock is busy).
// Unset, nothing ever fails; the cost is one environment lookup per load or
// save. Only the tests' build of the DLL has this seam; the shipped one has
// NoFaults.cpp in its place.
#pragma once

namespace qovi {

enum class Call { Open, Read, Write, Flush, Replace, ReplaceHalf, Move, Dpapi, DpapiRejected, Lock, Count };

// Reads the variable and restarts the counts; load and save call it first.
void armInjectedFailures();

// Counts a call of this kind; true (with the last error set) when it is one
// to fail.
bool injectedFailure(Call kind);

// The log is about to rename a full QOVI.log to QOVI.log.1. The tests'
// build counts these decisions (qoviTestLogRotations, exported by that build
// only), so a test sees when the log rotates whether or not the file system
// then lets the rename through: Wine refuses a rename over a file another
// handle has open, Windows allows it.
void noteLogRotation();

// A lock was busy and this process now waits for it. The tests' build
// counts each into the semaphore QOVITestLockWaiters when a test made one,
// so the test knows when every process it started waits at its gate.
void noteLockWait();

// This process loaded and is about to save. When a test made the event
// QOVITestSaveGate, the tests' build counts the process into the semaphore
// QOVITestAtSaveGate and waits until the test sets the event, so a test can
// have every process it started load before any of them saves.
void waitAtSaveGate();

// Ends the process when a heap is damaged (HeapCheck.cpp, tests' build only).
void checkHeaps();

}  // namespace qovi
