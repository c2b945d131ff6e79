#include "cli/StopSignal.h"

#include <signal.h>

#include <csignal>
#include <initializer_list>

namespace vyr::cli {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void NoteStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

void StopOnSignals()
{
#ifdef _WIN32
    // Windows has no hang-up signal and no sigaction; its C runtime delivers the other two.
    for (const int signal : {SIGTERM, SIGINT}) std::signal(signal, NoteStopSignal);
#else
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
#endif
}

int StopSignal() { return g_stopSignal; }

bool StopRequested() { return g_stopSignal != 0; }

}  // namespace vyr::cli
