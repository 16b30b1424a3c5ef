// SIGINT and SIGTERM noted instead of ending the program on the spot, so that a capture,
// a video or the window run can finish what it has written and then end.
#pragma once

// Tells SDL to install no signal handlers: its own turn SIGINT and SIGTERM into a quit
// event that only the window reads, so a capture would never end. Call before SDL starts.
void KeepSignalsFromSdl();

// From now on SIGINT and SIGTERM are only noted; system calls they interrupt restart.
void CatchStopSignals();

// The last stop signal noted, or 0 while none came.
int StopSignal();

// How many stop signals were noted so far; a wait can tell a further one by it.
int StopSignalCount();

// The exit status of a run ended by the noted signal: 128 + the signal, 130 for SIGINT and
// 143 for SIGTERM, as shells report a program that such a signal ended. 0 while none came.
int StopSignalStatus();
