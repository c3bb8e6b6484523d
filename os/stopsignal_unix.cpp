#include "os/stopsignal.h"

#include <csignal>
#include <initializer_list>

#include <sys/signalfd.h>
#include <unistd.h>

int stopSignalDescriptor()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : { SIGINT, SIGTERM }) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&signals, signal);
    }
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return -1;
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

void restoreDefaultSignals()
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            ::signal(signal, SIG_DFL);
    }
}
