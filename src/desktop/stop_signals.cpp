#include "desktop/stop_signals.h"

#include <SDL.h>

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t lastSignal = 0;
volatile std::sig_atomic_t signalCount = 0;

void noteSignal(int signal)
{
    lastSignal = signal;
    signalCount = signalCount + 1;
}

} // namespace

void KeepSignalsFromSdl() { SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); }

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // Restarting keeps a frame half written to a pipe or a file from failing with EINTR.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM})
        sigaction(signal, &action, nullptr);
}

int StopSignal() { return lastSignal; }

int StopSignalCount() { return signalCount; }

int StopSignalStatus() { return lastSignal == 0 ? 0 : 128 + lastSignal; }
