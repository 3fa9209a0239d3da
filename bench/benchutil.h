#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <ctime>
#include <sys/resource.h>

// CPU time of the calling thread (the simulator runs in a thread of its own and is not counted).
inline double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Resident set size of the process in KiB.
inline long MaxRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Wire time of a number of characters at 19200 baud, 10 bits a character, in ms.
inline double WireMs(qint64 chars) {
    return chars * 10.0 * 1000.0 / 19200.0;
}
