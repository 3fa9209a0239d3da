// quartel-cli backup, restore and report: the setup files and the report of the screens.

#include "clicommands.h"
#include "cliend.h"
#include "clifiles.h"
#include "cliline.h"
#include "cliread.h"

#include "frame.h"
#include "loopwait.h"
#include "registers.h"
#include "report.h"
#include "reportrender.h"
#include "setupdiff.h"
#include "setupfile.h"
#include "startpoll.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

// A message of the setup files as one line: its line breaks become blanks.
QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

// The setup-file actions on a terminal: a message is one line on standard error. The paths come from
// the command line, so no dialog is ever asked for (one that were would be cancelled).
class CliFileActions final : public FileActions {
public:
    CliFileActions(CliIo& io, const Modulo1& m) : io_(io), m_(m) {}

    QString prefix; // "address N: " while an instrument is worked on

    QCoro::Task<> Message(const QString&, const QString& text, Icon) override {
        // A failed group is told by the group's own line.
        for (int g = 0; g < GroupCount; ++g) {
            if (text == setupfile::GroupFailureText(static_cast<GroupId>(g), m_.LanguageIndex)) {
                co_return;
            }
        }
        io_.Fail(prefix + OneLine(text));
        co_return;
    }
    QCoro::Task<QString> AskOpenFile() override { co_return QString(); }
    QCoro::Task<QString> AskSaveFile(const QString&) override { co_return QString(); }

private:
    CliIo& io_;
    const Modulo1& m_;
};

// The division as the main setup screen's first pass reads it, with the full read's attempts. False
// when the instrument does not answer.
QCoro::Task<bool> ReadDivision(CliInstrument& inst) {
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && inst.m.CurrentStep() == 0; ++attempt) {
        co_await inst.reader.ReadDivisionCode();
    }
    co_return inst.m.CurrentStep() != 0;
}

// The analog output block (tab 5), with the full read's attempts. False when it was not read.
QCoro::Task<bool> ReadAnalogBlock(CliInstrument& inst) {
    constexpr int AnalogTab = 5;
    const auto element = size_t(AnalogTab + 1);
    inst.m.TabRead[element] = 0;
    inst.tab = AnalogTab;
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && inst.m.TabRead[element] == 0;
         ++attempt) {
        co_await inst.reader.ReadTabBlock();
    }
    inst.tab = 0;
    co_return inst.m.TabRead[element] != 0;
}

// Reads the instrument at `address` and writes `path` with its model file. Tells the reason of a
// failure; false then, and no file is written.
QCoro::Task<bool> BackupOne(CliLine& line, CliIo& io, int address, const QString& path) {
    ReadInstrument read;
    if (co_await ReadWhole(line, io, address, read, io.Text("NothingWritten")) != ReadResult::Read) {
        co_return false;
    }
    // The screen's save writes these very bytes; here a failure names the file and the system's reason,
    // and leaves nothing half-made behind.
    const QString failed = clifiles::WriteSetupFiles(io, path, read.SetupFile(),
                                                     setupfile::ModelFileName(path), read.ModelFile());
    if (!failed.isEmpty()) {
        io.Fail(io.Text("Address").arg(address) + failed);
        co_return false;
    }
    io.Out(io.Text("BackupWritten")
               .arg(address)
               .arg(ModelName(read.model), QDir::toNativeSeparators(path),
                    QDir::toNativeSeparators(setupfile::ModelFileName(path))));
    co_return true;
}

} // namespace

QByteArray ReadInstrument::SetupFile() const {
    return setupfile::BuildSetupFile(inst->set, inst->m.LanguageIndex, model);
}

QByteArray ReadInstrument::ModelFile() const {
    return setupfile::BuildModelFile(inst->m.InstrumentMenuCaption, model);
}

QStringList ReadInstrument::Values() const {
    return setupdiff::ValuesOf(inst->set, model);
}

QCoro::Task<ReadResult> ReadWhole(CliLine& line, CliIo& io, int address, ReadInstrument& out,
                                  const QString& notReadTail) {
    out.model = co_await line.AnsweringModel(address);
    if (out.model == 0) {
        co_return ReadResult::NoReply;
    }
    out.inst = std::make_unique<CliInstrument>(line.m(), line.link());
    out.inst->Load(address, out.model);
    if (!co_await ReadDivision(*out.inst)) {
        io.Fail(io.Text("NoReply").arg(address));
        co_return ReadResult::NoReply;
    }
    QString missing;
    if (!co_await out.inst->ReadForSave(missing)) {
        io.Fail(io.Text("NotRead").arg(address).arg(missing) + notReadTail);
        co_return ReadResult::NotRead;
    }
    co_return ReadResult::Read;
}

QCoro::Task<QList<int>> FindInstruments(CliLine& line, CliIo& io, const QList<int>& addresses,
                                        const char* progressKey) {
    // The start-up screen's division poll finds them.
    Modulo1& m = line.m();
    StartPoll poll(m, line.link());
    QList<int> found;
    for (const int a : addresses) {
        io.Progress(io.Text(progressKey).arg(a).arg(LastAddress));
        m.DeviceAddress = uint8_t(a);
        m.DivisionStep[a] = 0;
        co_await poll.PollDivisionCode();
        if (CheckReply(m.FrameBuffer, Prefix::DivisionCode)) {
            found << a;
        }
    }
    co_return found;
}

QCoro::Task<ReportScreen> LiveScreen(CliInstrument& inst, int address) {
    // The upper band of the screen: one pass of the live monitor.
    co_await inst.MonitorPass();
    using T = MonitorDisplay::Text;
    ReportScreen screen;
    screen.IndStr = QString::number(address);
    screen.Ingresso1 = inst.display.text(T::Ingresso1);
    screen.Ingresso2 = inst.display.text(T::Ingresso2);
    screen.Versione = inst.display.text(T::Versione);
    screen.MilliV = inst.display.text(T::MilliV);
    screen.Punti = inst.display.text(T::Punti);
    co_return screen;
}

QCoro::Task<int> RunBackup(CliLine& line, CliIo& io) {
    const CliOptions& o = line.options();
    line.ReadSettings();
    // The targets are checked before the line is opened: nothing is read for a file that cannot be
    // written.
    if (!o.all) {
        for (const QString& target : {setupfile::ModelFileName(o.path), o.path}) {
            if (const QString refused = clifiles::WriteRefusal(io, target); !refused.isEmpty()) {
                io.Fail(refused);
                co_return ExitFailed;
            }
        }
        if (!co_await line.Open()) {
            co_return ExitFailed;
        }
        co_return co_await BackupOne(line, io, o.addresses.first(), o.path) ? ExitOk : ExitFailed;
    }
    // The folder of --all is made when it is missing (with its parents), as a shell's mkdir -p would,
    // but only once an instrument has answered.
    if (QFileInfo::exists(o.path) && !QFileInfo(o.path).isDir()) {
        io.Fail(io.Text("NotADirectory").arg(QDir::toNativeSeparators(o.path)));
        co_return ExitFailed;
    }
    if (!co_await line.Open()) {
        co_return ExitFailed;
    }
    // Every answering address of the line.
    const QList<int> found = co_await FindInstruments(line, io, o.addresses);
    if (found.isEmpty()) {
        io.Fail(io.Text("NoInstrument").arg(line.Device()));
        co_return ExitFailed;
    }
    // A folder made here and still empty when the run is ended early goes again.
    const bool made = !QFileInfo::exists(o.path);
    if (made && !QDir().mkpath(o.path)) {
        io.Fail(io.Text("CannotMakeFolder")
                    .arg(QDir::toNativeSeparators(o.path), clifiles::SystemReason(io, errno)));
        co_return ExitFailed;
    }
    const cliend::Cleanup removeEmpty([made, path = o.path] {
        if (made) {
            QDir().rmdir(path); // only when empty
        }
    });
    int failed = 0;
    int done = 0;
    for (const int a : found) {
        io.Progress(io.Text("BackupProgress").arg(a).arg(++done).arg(found.size()));
        const QString path =
            QDir(o.path).filePath(QStringLiteral("quartel-%1.stp").arg(a, 2, 10, QLatin1Char('0')));
        if (!co_await BackupOne(line, io, a, path)) {
            ++failed;
        }
    }
    io.ClearProgress();
    co_return failed == 0 ? ExitOk : ExitFailed;
}

namespace {

// The store command at the end of a restore, as the exit question's OK sends it: 0x0020 in slot A,
// confirmed by its echo. A new operating mode takes effect only after a restart, which the echo's
// follow-up asks for; it is sent as the screen's next pass sends it.
QCoro::Task<bool> Store(CliInstrument& inst, CliIo& io, int address) {
    Modulo1& m = inst.m;
    m.RestartRequest = 2;
    inst.commands.QueueSaveOrRestart();
    const QByteArray store = m.PendingWriteA;
    m.WritePending = true;
    co_await inst.commands.SendQueuedWrites();
    const bool stored = WriteQueue::ConfirmsRequest(m.FrameBuffer, store);
    io.Out(io.Text("Store").arg(address).arg(stored ? io.Text("Confirmed") : io.Text("NotConfirmed")));
    if (!stored) {
        io.Fail(io.Text("StoreNotConfirmed").arg(address));
        co_return false;
    }
    if (m.RestartRequest == 1) {
        inst.commands.QueueSaveOrRestart();
        const QByteArray restart = m.PendingWriteA;
        m.WritePending = true;
        co_await inst.commands.SendQueuedWrites();
        const bool restarted = WriteQueue::ConfirmsRequest(m.FrameBuffer, restart);
        io.Out(
            io.Text("Restart").arg(address).arg(restarted ? io.Text("Confirmed") : io.Text("NotConfirmed")));
        if (!restarted) {
            io.Fail(io.Text("RestartNotConfirmed").arg(address));
            co_return false;
        }
    }
    co_return true;
}

// After the store (and the restart a new operating mode asks for) the instrument may be silent for a
// while: the restore ends when it answers again, so that the next command finds it.
QCoro::Task<bool> AnswersAgain(CliLine& line, CliIo& io, int address) {
    constexpr int WaitMs = 15000;
    QElapsedTimer waited;
    waited.start();
    LoopWaker pause;
    bool shown = false;
    while (co_await line.ProbeModel(address) == 0) {
        if (waited.elapsed() >= WaitMs) {
            io.Fail(io.Text("NoReplyAfterRestart").arg(address).arg(WaitMs / 1000));
            co_return false;
        }
        if (!shown) {
            io.Progress(io.Text("WaitingRestart").arg(address));
            shown = true;
        }
        co_await pause.WaitFor(100);
    }
    io.ClearProgress();
    co_return true;
}

// A file that a load into a `model` instrument would refuse is told as the load tells it, with
// nothing sent; true when it would load.
bool CheckFile(CliLine& line, CliIo& io, int model, const QString& path, const QString& prefix) {
    const SetupFiles::FileCheck check = SetupFiles::CheckFile(path, model, line.m().LanguageIndex, true);
    if (check.outcome == SetupFiles::LoadOutcome::Loaded) {
        return true;
    }
    io.Fail(prefix + OneLine(check.text));
    return false;
}

} // namespace

QCoro::Task<int> RunRestore(CliLine& line, CliIo& io) {
    const CliOptions& o = line.options();
    line.ReadSettings();
    // Only a regular setup file is read: a missing one is told as missing, a FIFO or a device is never
    // opened.
    if (const QString refused = clifiles::ReadRefusal(io, o.path); !refused.isEmpty()) {
        io.Fail(refused);
        co_return ExitFailed;
    }
    // A file that does not fit the model, or is short, is refused before anything is sent.
    if (o.model != ModelAuto && !CheckFile(line, io, o.model, o.path, QString())) {
        co_return ExitFailed;
    }
    if (!co_await line.Open()) {
        co_return ExitFailed;
    }
    int failed = 0;
    int done = 0;
    for (const int a : o.addresses) {
        io.Progress(io.Text("RestoreProgress").arg(a).arg(++done).arg(o.addresses.size()));
        const int model = co_await line.AnsweringModel(a);
        if (model == 0) {
            ++failed;
            continue;
        }
        line.m().DeviceAddress = uint8_t(a);
        if (o.model == ModelAuto && !CheckFile(line, io, model, o.path, io.Text("Address").arg(a))) {
            ++failed;
            continue;
        }
        CliInstrument inst(line.m(), line.link());
        inst.Load(a, model);
        if (!co_await ReadDivision(inst)) {
            io.Fail(io.Text("NoReply").arg(a));
            ++failed;
            continue;
        }
        // The analog group's write carries the two trimming offsets, which the file does not hold: they
        // are read first, so that the instrument gets its own back instead of 0.
        if (model == 1 && !co_await ReadAnalogBlock(inst)) {
            // A VXB has no analog output: most likely the wrong model was given.
            const bool vxb = co_await line.ProbeModel(a) == 2;
            io.Fail(io.Text(vxb ? "OtherModel" : "AnalogNotRead").arg(a));
            ++failed;
            continue;
        }
        // The instrument keeps its own address: one file restored into several instruments must not
        // put them all at the file's address, and an instrument moved away would not hear the rest.
        QString fileAddress;
        QObject::connect(&inst.set, &ParameterSet::changed, &inst.set, [&inst, &fileAddress, a](Field f) {
            if (f == Field::Indir && ReadNumber(inst.set.text(Field::Indir)) != a) {
                fileAddress = inst.set.text(Field::Indir).trimmed();
                inst.set.setText(Field::Indir, QString::number(a));
            }
        });
        CliFileActions actions(io, line.m());
        actions.prefix = io.Text("Address").arg(a);
        SetupFiles files(inst.session, inst.writer, inst.reader, actions);
        int groupsFailed = 0;
        files.onGroupResult = [&](const SetupFiles::GroupResult& result) {
            const QString group = setupfile::GroupNames({result.group}, io.Language());
            io.Out(io.Text("GroupResult")
                       .arg(a)
                       .arg(group, io.Text(result.confirmed ? "Confirmed" : "NotConfirmed")));
            if (!result.confirmed) {
                ++groupsFailed;
                io.Fail(io.Text("GroupNotConfirmed").arg(a).arg(group));
            }
        };
        const SetupFiles::LoadReport report = co_await files.Load(o.path);
        if (!fileAddress.isEmpty()) {
            io.Note(io.Text("AddressKept").arg(a).arg(fileAddress));
        }
        if (report.outcome != SetupFiles::LoadOutcome::Loaded || groupsFailed > 0) {
            ++failed;
            continue;
        }
        if (o.store && (!co_await Store(inst, io, a) || !co_await AnswersAgain(line, io, a))) {
            ++failed;
        }
    }
    io.ClearProgress();
    co_return failed == 0 ? ExitOk : ExitFailed;
}

QCoro::Task<int> RunReport(CliLine& line, CliIo& io) {
    const CliOptions& o = line.options();
    Modulo1& m = line.m();
    std::unique_ptr<CliInstrument> inst;
    ReportScreen screen;
    line.ReadSettings();
    // "-" is standard output; any other target must be a regular file or none, in an existing folder.
    if (!o.pdf.isEmpty() && o.pdf != QLatin1String("-")) {
        if (const QString refused = clifiles::WriteRefusal(io, o.pdf); !refused.isEmpty()) {
            io.Fail(refused);
            co_return ExitFailed;
        }
    }
    if (!o.path.isEmpty()) {
        // A setup file: its model file says the model, unless --model does.
        line.ReadSettings();
        if (const QString refused = clifiles::ReadRefusal(io, o.path); !refused.isEmpty()) {
            io.Fail(refused);
            co_return ExitFailed;
        }
        int model = o.model;
        if (model == ModelAuto) {
            QFile typ(setupfile::ModelFileName(o.path));
            model = 1;
            if (typ.exists()) {
                const std::optional<int> named =
                    typ.open(QIODevice::ReadOnly)
                        ? setupfile::ParseModelFile(typ.read(setupfile::MaxFileBytes + 1))
                        : std::nullopt;
                model = named.value_or(0);
            }
            if (model != 1 && model != 2) {
                io.Fail(io.Text("NoModel").arg(QDir::toNativeSeparators(setupfile::ModelFileName(o.path))));
                co_return ExitFailed;
            }
        }
        inst = std::make_unique<CliInstrument>(m, line.link());
        inst->Load(1, model);
        m.OfflineEdit = true;
        CliFileActions actions(io, m);
        SetupFiles files(inst->session, inst->writer, inst->reader, actions);
        const SetupFiles::LoadReport report = co_await files.Load(o.path);
        if (report.outcome != SetupFiles::LoadOutcome::Loaded) {
            co_return ExitFailed;
        }
        // The address field shows the address of the file, as on the screen.
        screen.IndStr = inst->set.text(Field::Indir);
    } else {
        if (!co_await line.Open()) {
            co_return ExitFailed;
        }
        const int a = o.addresses.first();
        ReadInstrument read;
        if (co_await ReadWhole(line, io, a, read) != ReadResult::Read) {
            co_return ExitFailed;
        }
        inst = std::move(read.inst);
        screen = co_await LiveScreen(*inst, a);
    }
    const QList<ReportLine> lines = BuildReport(inst->set, m.LanguageIndex, screen, o.notes);
    if (o.text) {
        const QString text = ReportText(lines);
        io.Out(text.endsWith(QLatin1Char('\n')) ? text.chopped(1) : text);
        co_return ExitOk;
    }
    const QByteArray pdf = ReportPdfBytes(lines, m.LanguageIndex);
    if (pdf.isEmpty()) {
        io.Fail(io.Text("FileReason").arg(QDir::toNativeSeparators(o.pdf), clifiles::SystemReason(io, EIO)));
        co_return ExitFailed;
    }
    if (o.pdf == QLatin1String("-")) {
        io.RawBytes(pdf);
        co_return ExitOk;
    }
    if (const QString failed = clifiles::WriteWhole(io, o.pdf, pdf); !failed.isEmpty()) {
        io.Fail(failed);
        co_return ExitFailed;
    }
    io.Out(io.Text("ReportWritten").arg(QDir::toNativeSeparators(o.pdf)));
    co_return ExitOk;
}
