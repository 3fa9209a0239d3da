// A plant backup of N simulated lines, N = 1, 8, 32, 64 by default: N quartel-sim processes at the pace of
// 19200 baud, each serving its line over TCP as a device server does, 8 instruments each; then
// `quartel-cli plant backup` of all of them into a fresh history. Prints for each N the wall time and
// its ratio to one line's, quartel-cli's CPU time (total and per line), its peak resident size (total,
// and what each line adds over one line's), and the simulators' own CPU time.
//
//   bench_plant [--lines 1,8,32,64] [--instruments 8] [--chunk 8] [--runs 1] [--sim PATH] [--cli PATH]

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Figures {
    double wallS = 0;
    double cpuS = 0;
    double maxRssMb = 0;
    int status = -1;
    int files = 0;
};

// CPU seconds a process has used so far (utime + stime of /proc/PID/stat).
double ProcessCpuS(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the name: state is field 3, utime 14 and stime 15 (1-based, counting pid and name).
    const double ticks = double(fields.value(11).toLongLong() + fields.value(12).toLongLong());
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

// Runs the program to its end with its output thrown away; its own CPU time and peak resident size.
Figures RunMeasured(const QString& program, const QStringList& arguments) {
    Figures f;
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString& a : arguments) {
        words.push_back(a.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    QElapsedTimer wall;
    wall.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    ::wait4(pid, &status, 0, &usage);
    f.wallS = double(wall.nsecsElapsed()) / 1e9;
    f.cpuS = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.maxRssMb = double(usage.ru_maxrss) / 1024.0;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
}

struct Sim {
    std::unique_ptr<QProcess> proc = std::make_unique<QProcess>();
    QString tcp;
};

bool StartSims(std::vector<Sim>& sims, int count, const QString& program, const QString& addresses,
               int chunk) {
    for (int i = 0; i < count; ++i) {
        Sim s;
        s.proc->start(program, {QStringLiteral("--vxa"), addresses, QStringLiteral("--wire-time"),
                                QStringLiteral("--chunk"), QString::number(chunk), QStringLiteral("--tcp"),
                                QStringLiteral("0")});
        sims.push_back(std::move(s));
    }
    for (Sim& s : sims) {
        QStringList printed;
        while (printed.size() < 2) {
            if (!s.proc->canReadLine() && !s.proc->waitForReadyRead(10000)) {
                std::fprintf(stderr, "bench_plant: a simulator did not start\n");
                return false;
            }
            while (s.proc->canReadLine()) {
                printed << QString::fromLocal8Bit(s.proc->readLine()).trimmed();
            }
        }
        s.tcp = printed.value(1);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption linesOpt(QStringLiteral("lines"), QStringLiteral("Plant sizes."),
                                      QStringLiteral("LIST"), QStringLiteral("1,8,32,64"));
    const QCommandLineOption instrumentsOpt(QStringLiteral("instruments"),
                                            QStringLiteral("Instruments per line."), QStringLiteral("N"),
                                            QStringLiteral("8"));
    const QCommandLineOption chunkOpt(
        QStringLiteral("chunk"),
        QStringLiteral("Characters a simulator hands over at a time: 8 as a UART's "
                       "FIFO, 64 as a device server that packs a frame."),
        QStringLiteral("CHARS"), QStringLiteral("8"));
    const QCommandLineOption runsOpt(QStringLiteral("runs"),
                                     QStringLiteral("Backups per plant size (the best is kept)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QString dir = QCoreApplication::applicationDirPath();
    const QCommandLineOption simOpt(QStringLiteral("sim"), QStringLiteral("quartel-sim."),
                                    QStringLiteral("PATH"),
                                    QDir(dir).filePath(QStringLiteral("../sim/quartel-sim")));
    const QCommandLineOption cliOpt(QStringLiteral("cli"), QStringLiteral("quartel-cli."),
                                    QStringLiteral("PATH"),
                                    QDir(dir).filePath(QStringLiteral("../app/quartel-cli")));
    parser.addOptions({linesOpt, instrumentsOpt, chunkOpt, runsOpt, simOpt, cliOpt});
    parser.process(app);
    const int instruments = std::clamp(parser.value(instrumentsOpt).toInt(), 1, 32);
    const int runs = std::max(1, parser.value(runsOpt).toInt());
    QStringList list;
    for (int a = 1; a <= instruments; ++a) {
        list << QString::number(a);
    }
    const QString addresses = list.join(QLatin1Char(','));

    std::printf(
        "plant backup, %d instruments a line, simulators at 19200 baud over TCP, %d characters at a time "
        "(%ld cores)\n",
        instruments, parser.value(chunkOpt).toInt(), ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%6s %9s %7s %9s %12s %9s %14s %11s %7s\n", "lines", "wall s", "x one", "CPU s",
                "CPU ms/line", "RSS MB", "RSS KB/line+", "sims CPU s", "files");
    double oneLineS = 0;
    double oneLineRss = 0;
    for (const QString& item : parser.value(linesOpt).split(QLatin1Char(','))) {
        const int n = item.toInt();
        if (n < 1) {
            continue;
        }
        std::vector<Sim> sims;
        if (!StartSims(sims, n, parser.value(simOpt), addresses, parser.value(chunkOpt).toInt())) {
            return 1;
        }
        QTemporaryDir scratch;
        QString plant = QStringLiteral("[plant]\nlanguage = en\n");
        for (int i = 0; i < n; ++i) {
            plant += QStringLiteral("\n[line-%1]\ndevice = %2\naddresses = 1-%3\n")
                         .arg(i + 1)
                         .arg(sims[size_t(i)].tcp)
                         .arg(instruments);
        }
        QFile file(scratch.filePath(QStringLiteral("plant.ini")));
        if (!file.open(QIODevice::WriteOnly) || file.write(plant.toUtf8()) < 0) {
            return 1;
        }
        file.close();
        Figures best;
        double simCpu = 0;
        for (int r = 0; r < runs; ++r) {
            double simBefore = 0;
            for (const Sim& s : sims) {
                simBefore += ProcessCpuS(s.proc->processId());
            }
            const QString history = scratch.filePath(QStringLiteral("history-%1").arg(r));
            Figures f = RunMeasured(parser.value(cliOpt), {QStringLiteral("plant"), QStringLiteral("backup"),
                                                           QStringLiteral("--plant"), file.fileName(),
                                                           QStringLiteral("--history"), history});
            double simAfter = 0;
            for (const Sim& s : sims) {
                simAfter += ProcessCpuS(s.proc->processId());
            }
            for (int i = 0; i < n; ++i) {
                f.files += int(QDir(QDir(history).filePath(QStringLiteral("line-%1").arg(i + 1)))
                                   .entryList({QStringLiteral("quartel-*.stp")}, QDir::Files)
                                   .size());
            }
            if (r == 0 || f.wallS < best.wallS) {
                best = f;
                simCpu = simAfter - simBefore;
            }
        }
        for (Sim& s : sims) {
            s.proc->terminate();
        }
        for (Sim& s : sims) {
            s.proc->waitForFinished(5000);
        }
        if (n == 1 || oneLineS == 0) {
            oneLineS = best.wallS;
            oneLineRss = best.maxRssMb;
        }
        const double perLineKb = n > 1 ? (best.maxRssMb - oneLineRss) * 1024.0 / (n - 1) : 0.0;
        std::printf("%6d %9.2f %7.2f %9.2f %12.1f %9.1f %14.0f %11.2f %3d/%-3d%s\n", n, best.wallS,
                    best.wallS / oneLineS, best.cpuS, best.cpuS * 1000.0 / n, best.maxRssMb, perLineKb,
                    simCpu, best.files, n * instruments, best.status == 1 ? "" : "  (exit status not 1!)");
        std::fflush(stdout);
    }
    return 0;
}
