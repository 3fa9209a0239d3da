// quartel-cli plant: every line of a plant at once. Each line has its own CliLine (its own link, its own
// division tables, reply wait and write queue) and its own coroutine; all of them run side by side on
// the program's one event loop, since waiting for an instrument only suspends that line's coroutine.
// Within a line the exchanges stay one at a time, as on any bus.

#include "plant.h"

#include "clicommands.h"
#include "clifiles.h"
#include "cliline.h"
#include "cliread.h"
#include "planthistory.h"

#include "report.h"
#include "reportrender.h"
#include "setupdiff.h"
#include "setupfile.h"
#include "texts_cli.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>

#include <memory>

namespace {

constexpr int Same = 0;
constexpr int Differ = 1;
constexpr int Trouble = 2;

enum class Outcome {
    Answers,
    Same,
    Changed,
    New,
    Reported,
    NoReply,
    NotRead,
    NotWritten,
    LineFailed,
    NoInstrument
};

bool IsTrouble(Outcome o) {
    return o == Outcome::NoReply || o == Outcome::NotRead || o == Outcome::NotWritten ||
           o == Outcome::LineFailed || o == Outcome::NoInstrument;
}

struct Change {
    QString caption;
    QString before;
    QString after;
    int line = 0;           // the setup file's line, 0 for a change of the whole file
    QString captionEnglish; // for JSON, which speaks English
};

struct InstrumentResult {
    int address = 0; // 0: the line itself (it could not be opened, or nothing answered)
    int model = 0;
    Outcome outcome = Outcome::NoReply;
    QStringList reasons;    // the failures told while it was worked on
    QList<Change> changes;  // in the messages' language
    QStringList historyLog; // the changes as the commit message names them (the files' language)
    QString file;           // the report written
};

QString TwoDigits(int address) {
    return QStringLiteral("%1").arg(address, 2, 10, QLatin1Char('0'));
}

// The rows of the terminal: one per line of the plant, redrawn in place at most ten times a second.
class ProgressRows {
public:
    ProgressRows(CliIo& io, const QStringList& names) : io_(io), names_(names), rows_(names.size()) {
        for (const QString& name : names) {
            width_ = std::max(width_, int(name.size()));
        }
        timer_.setSingleShot(true);
        timer_.setInterval(100);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Draw(); });
    }
    bool Shown() const { return io_.Streams().errIsTerminal && io_.Streams().err; }
    void Set(int row, const QString& text) {
        rows_[row] = text;
        if (Shown() && !timer_.isActive()) {
            timer_.start();
        }
    }
    // The last state of every row, left on the screen.
    void Finish() {
        timer_.stop();
        if (Shown()) {
            Draw();
        }
    }

private:
    void Draw() {
        QString text;
        if (drawn_) {
            text += QStringLiteral("\x1b[%1A").arg(rows_.size()); // back to the first row
        }
        for (qsizetype i = 0; i < rows_.size(); ++i) {
            text += QStringLiteral("\r%1  %2\x1b[K\n").arg(names_.at(i).leftJustified(width_), rows_.at(i));
        }
        drawn_ = true;
        io_.Streams().err(text);
    }

    CliIo& io_;
    QStringList names_;
    QStringList rows_;
    int width_ = 0;
    bool drawn_ = false;
    QTimer timer_;
};

// One line of the plant and what was found on it.
struct PlantLine {
    plant::LineDef def;
    CliOptions options;
    CliStreams streams;
    std::unique_ptr<CliIo> io;
    std::unique_ptr<CliLine> line;
    QStringList told; // failures told and not yet given to an instrument
    QList<InstrumentResult> results;

    QStringList TakeTold() {
        QStringList out;
        out.swap(told);
        return out;
    }
};

struct PlantRun {
    const CliOptions& o;
    CliIo& io;
    plant::PlantDef plant;
    ProgressRows* progress = nullptr;

    QString LineFolder(const PlantLine& l) const { return QDir(o.history).filePath(l.def.name); }
    // A message of quartel-cli in the language of the setup files (the history's commit messages).
    QString FilesText(const char* key) const {
        return TextOf(texts::Cli(), QString::fromLatin1(key), plant.language);
    }
    // The addresses the history holds for the line.
    QList<int> HistoryAddresses(const PlantLine& l) const {
        QList<int> out;
        if (o.history.isEmpty()) {
            return out;
        }
        static const QRegularExpression name(QStringLiteral("^quartel-([0-9]{2})\\.stp$"));
        const QStringList files =
            QDir(LineFolder(l)).entryList({QStringLiteral("quartel-*.stp")}, QDir::Files);
        for (const QString& f : files) {
            const QRegularExpressionMatch m = name.match(f);
            const int a = m.hasMatch() ? m.captured(1).toInt() : 0;
            if (a >= FirstAddress && a <= LastAddress) {
                out << a;
            }
        }
        return out;
    }
};

// A setup file's value as a change shows it: an empty one as "".
QString Shown(const QString& value) {
    return value.trimmed().isEmpty() ? QStringLiteral("\"\"") : value.trimmed();
}

// The instrument's values against the history's file: what changed, in the messages' language and in
// the files' language.
void CompareWithHistory(const PlantRun& run, PlantLine& l, const ReadInstrument& read, const QString& path,
                        InstrumentResult& res) {
    CliIo& io = *l.io;
    const int fileLanguage = run.plant.language;
    const int language = io.Language();
    const QString addr = TwoDigits(res.address);
    if (!QFileInfo::exists(path)) {
        res.outcome = Outcome::New;
        res.historyLog << run.FilesText("PlantNewInstrument").arg(l.def.name, addr, ModelName(read.model));
        return;
    }
    const std::optional<int> before = setupdiff::ModelOfFile(path);
    if (before.value_or(0) != read.model) {
        res.outcome = Outcome::Changed;
        res.changes << Change{io.Text("PlantModel"), ModelName(before.value_or(0)), ModelName(read.model), 0,
                              QStringLiteral("model")};
        res.historyLog << run.FilesText("PlantModelChange")
                              .arg(l.def.name, addr, ModelName(before.value_or(0)), ModelName(read.model));
        return;
    }
    const setupdiff::FileSide side = setupdiff::ReadSide(path, read.model, fileLanguage);
    if (!side.ok) {
        res.outcome = Outcome::Changed;
        const QString why = side.error.simplified();
        res.changes << Change{why, QString(), QString(), 0, why};
        res.historyLog << run.FilesText("PlantFileRefused").arg(l.def.name, addr, why);
        return;
    }
    const QStringList now = read.Values();
    // The same differences, named in each language that is needed (the messages', the files', JSON's).
    const setupdiff::Comparison logged = setupdiff::Compare(side.values, now, read.model, fileLanguage);
    const auto in = [&](int languageIndex) {
        return languageIndex == fileLanguage
                   ? logged
                   : setupdiff::Compare(side.values, now, read.model, languageIndex);
    };
    const setupdiff::Comparison shown = in(language);
    const setupdiff::Comparison english = in(1);
    for (qsizetype i = 0; i < shown.differences.size(); ++i) {
        const setupdiff::Difference& d = shown.differences.at(i);
        res.changes << Change{d.caption, Shown(d.first), Shown(d.second), d.line,
                              english.differences.value(i).caption};
    }
    for (const setupdiff::Difference& d : logged.differences) {
        res.historyLog
            << run.FilesText("PlantChange").arg(l.def.name, addr, d.caption, Shown(d.first), Shown(d.second));
    }
    res.outcome = shown.differences.isEmpty() ? Outcome::Same : Outcome::Changed;
}

// Makes `folder` with its parents when it is missing: empty, or the reason it cannot be made.
QString MakeFolder(const CliIo& io, const QString& folder) {
    return QDir().mkpath(folder)
               ? QString()
               : io.Text("CannotMakeFolder")
                     .arg(QDir::toNativeSeparators(folder), clifiles::SystemReason(io, errno));
}

// Reads one instrument and does the action with it.
QCoro::Task<InstrumentResult> WorkOn(const PlantRun& run, PlantLine& l, int address) {
    CliIo& io = *l.io;
    CliLine& line = *l.line;
    InstrumentResult res;
    res.address = address;
    if (run.o.plantAction == PlantAction::Scan) {
        res.model = co_await line.AnsweringModel(address);
        res.outcome = res.model != 0 ? Outcome::Answers : Outcome::NoReply;
        co_return res;
    }
    ReadInstrument read;
    const ReadResult r = co_await ReadWhole(line, io, address, read);
    res.model = read.model;
    if (r != ReadResult::Read) {
        res.outcome = r == ReadResult::NoReply ? Outcome::NoReply : Outcome::NotRead;
        co_return res;
    }
    if (run.o.plantAction == PlantAction::Report) {
        const ReportScreen screen = co_await LiveScreen(*read.inst, address);
        const QList<ReportLine> lines =
            BuildReport(read.inst->set, line.m().LanguageIndex, screen, QString());
        const QString folder = QDir(run.o.path).filePath(l.def.name);
        res.file = QDir(folder).filePath(
            QStringLiteral("quartel-%1.%2").arg(TwoDigits(address), run.o.pdf.isEmpty() ? "txt" : "pdf"));
        const QByteArray bytes =
            run.o.pdf.isEmpty() ? ReportText(lines).toUtf8() : ReportPdfBytes(lines, line.m().LanguageIndex);
        QString failed = MakeFolder(io, folder);
        if (failed.isEmpty()) {
            failed = bytes.isEmpty()
                         ? io.Text("FileReason")
                               .arg(QDir::toNativeSeparators(res.file), clifiles::SystemReason(io, EIO))
                         : clifiles::WriteWhole(io, res.file, bytes);
        }
        if (!failed.isEmpty()) {
            io.Fail(failed);
        }
        res.outcome = failed.isEmpty() ? Outcome::Reported : Outcome::NotWritten;
        co_return res;
    }
    const QString folder = run.LineFolder(l);
    const QString path = QDir(folder).filePath(QStringLiteral("quartel-%1.stp").arg(TwoDigits(address)));
    CompareWithHistory(run, l, read, path, res);
    if (run.o.plantAction == PlantAction::Backup &&
        (res.outcome == Outcome::New || res.outcome == Outcome::Changed)) {
        QString failed = MakeFolder(io, folder);
        if (failed.isEmpty()) {
            failed = clifiles::WriteSetupFiles(io, path, read.SetupFile(), setupfile::ModelFileName(path),
                                               read.ModelFile());
        }
        if (!failed.isEmpty()) {
            io.Fail(io.Text("Address").arg(address) + failed);
            res.outcome = Outcome::NotWritten;
            res.historyLog.clear();
        }
    }
    co_return res;
}

QCoro::Task<> RunLine(const PlantRun& run, PlantLine& l, int row) {
    CliIo& io = *l.io;
    run.progress->Set(row, io.Text("PlantOpening").arg(l.def.device));
    l.line->ReadSettings();
    if (!co_await l.line->Open()) {
        InstrumentResult res;
        res.outcome = Outcome::LineFailed;
        res.reasons = l.TakeTold();
        l.results << res;
        run.progress->Set(row, io.Text("PlantLineFailed"));
        co_return;
    }
    QList<int> addresses = l.def.addresses;
    if (addresses.isEmpty()) {
        QList<int> all;
        for (int a = FirstAddress; a <= LastAddress; ++a) {
            all << a;
        }
        addresses = co_await FindInstruments(*l.line, io, all, "PlantLooking");
        // An instrument the history holds that did not answer is missed, not forgotten.
        for (const int a : run.HistoryAddresses(l)) {
            if (!addresses.contains(a)) {
                addresses << a;
            }
        }
        std::sort(addresses.begin(), addresses.end());
        l.TakeTold();
    }
    if (addresses.isEmpty()) {
        InstrumentResult res;
        res.outcome = Outcome::NoInstrument;
        res.reasons << io.Text("NoInstrument").arg(l.line->Device());
        l.results << res;
        run.progress->Set(row, io.Text("PlantNoInstrument"));
        co_return;
    }
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        run.progress->Set(row, io.Text("PlantAddress").arg(addresses.at(i)).arg(i + 1).arg(addresses.size()));
        InstrumentResult res = co_await WorkOn(run, l, addresses.at(i));
        res.reasons = l.TakeTold();
        l.results << res;
    }
    run.progress->Set(row, io.Text("PlantDone").arg(addresses.size()));
}

// Each outcome's text in the table (a message of quartel-cli) and its JSON word (always English).
struct OutcomeDef {
    Outcome outcome;
    const char* textKey;
    const char* word;
};
constexpr OutcomeDef Outcomes[] = {
    {Outcome::Answers, "PlantAnswers", "answers"},
    {Outcome::Same, "PlantSame", "unchanged"},
    {Outcome::Changed, "PlantChanged", "changed"},
    {Outcome::New, "PlantNew", "new"},
    {Outcome::Reported, "PlantReported", "reported"},
    {Outcome::NoReply, "PlantNoReply", "no reply"},
    {Outcome::NotRead, "PlantNotRead", "not read"},
    {Outcome::NotWritten, "PlantNotWritten", "not written"},
    {Outcome::LineFailed, "PlantLineFailed", "line not opened"},
    {Outcome::NoInstrument, "PlantNoInstrument", "no instrument"},
};

const OutcomeDef& DefOf(Outcome o) {
    for (const OutcomeDef& def : Outcomes) {
        if (def.outcome == o) {
            return def;
        }
    }
    return Outcomes[0];
}

QString OutcomeText(const CliIo& io, const InstrumentResult& r) {
    const QString text = io.Text(DefOf(r.outcome).textKey);
    return r.outcome == Outcome::Changed ? text.arg(r.changes.size()) : text;
}

QString OutcomeWord(Outcome o) {
    return QString::fromLatin1(DefOf(o).word);
}

// A message told on a line, as one line of standard error naming the line.
QString LineMessage(const QString& line, QString told) {
    told = told.trimmed();
    const QString prefix = QStringLiteral("quartel-cli: ");
    if (told.startsWith(prefix)) {
        told = told.mid(prefix.size());
    }
    return prefix + line + QStringLiteral(": ") + told;
}

// Reads and checks the plant file; the reason of a refusal is told.
std::optional<plant::PlantDef> ReadPlantFile(CliIo& io, const QString& path) {
    if (const QString refused = clifiles::ReadRefusal(io, path); !refused.isEmpty()) {
        io.Fail(refused);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        io.Fail(io.Text("FileReason").arg(QDir::toNativeSeparators(path), file.errorString()));
        return std::nullopt;
    }
    QString error;
    const std::optional<plant::PlantDef> def = plant::ParsePlant(
        file.read(plant::MaxPlantFileBytes + 1), QDir::toNativeSeparators(path), &error, io.Language());
    if (!def) {
        io.Fail(error);
    }
    return def;
}

// Each change and the table of results on standard output, or one JSON object per instrument.
void PrintResults(const CliOptions& o, CliIo& io, const std::vector<std::unique_ptr<PlantLine>>& lines) {
    if (o.json) {
        for (const auto& l : lines) {
            for (const InstrumentResult& r : l->results) {
                QJsonObject object{
                    {QStringLiteral("line"), l->def.name},
                    {QStringLiteral("device"), l->def.device},
                    {QStringLiteral("address"), r.address != 0 ? QJsonValue(r.address) : QJsonValue()},
                    {QStringLiteral("model"), r.model != 0 ? QJsonValue(ModelName(r.model)) : QJsonValue()},
                    {QStringLiteral("result"), OutcomeWord(r.outcome)}};
                if (!r.changes.isEmpty()) {
                    QJsonArray changes;
                    for (const Change& c : r.changes) {
                        changes.append(QJsonObject{{QStringLiteral("parameter"), c.captionEnglish},
                                                   {QStringLiteral("line"), c.line},
                                                   {QStringLiteral("before"), c.before},
                                                   {QStringLiteral("after"), c.after}});
                    }
                    object.insert(QStringLiteral("changes"), changes);
                }
                if (!r.reasons.isEmpty()) {
                    object.insert(QStringLiteral("reason"),
                                  r.reasons.join(QStringLiteral("; ")).simplified());
                }
                if (!r.file.isEmpty()) {
                    object.insert(QStringLiteral("file"), r.file);
                }
                io.Out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
            }
        }
    } else {
        // Each change, then the table.
        for (const auto& l : lines) {
            for (const InstrumentResult& r : l->results) {
                for (const Change& c : r.changes) {
                    io.Out(c.before.isEmpty() && c.after.isEmpty()
                               ? io.Text("PlantNote").arg(l->def.name, TwoDigits(r.address), c.caption)
                               : io.Text("PlantChange")
                                     .arg(l->def.name, TwoDigits(r.address), c.caption, c.before, c.after));
                }
            }
        }
        const QStringList header = io.Text("PlantHeader").split(QLatin1Char('|'));
        int width = int(header.value(0).size());
        for (const auto& l : lines) {
            width = std::max(width, int(l->def.name.size()));
        }
        const auto row = [&](const QString& name, const QString& address, const QString& model,
                             const QString& result) {
            io.Out(QStringLiteral("%1  %2  %3  %4")
                       .arg(name.leftJustified(width), address.leftJustified(int(header.value(1).size())),
                            model.leftJustified(int(header.value(2).size())), result)
                       .trimmed());
        };
        row(header.value(0), header.value(1), header.value(2), header.value(3));
        for (const auto& l : lines) {
            for (const InstrumentResult& r : l->results) {
                row(l->def.name, r.address != 0 ? TwoDigits(r.address) : QStringLiteral("-"),
                    r.model != 0 ? ModelName(r.model) : QStringLiteral("-"), OutcomeText(io, r));
            }
        }
    }
}

} // namespace

QCoro::Task<int> RunPlant(const CliOptions& o, CliIo& io) {
    const std::optional<plant::PlantDef> def = ReadPlantFile(io, o.plantFile);
    if (!def) {
        co_return Trouble;
    }
    // The messages speak --lang, else the plant's language; the files always the plant's.
    io.SetLanguage(o.language >= 0 ? o.language : def->language);
    PlantRun run{o, io, *def, nullptr};
    std::unique_ptr<PlantHistory> history;
    if (o.plantAction == PlantAction::Diff && !QFileInfo(o.history).isDir()) {
        io.Fail(io.Text("PlantNoHistory").arg(QDir::toNativeSeparators(o.history)));
        co_return Trouble;
    }
    if (o.plantAction == PlantAction::Backup) {
        // The history is made ready before any line is read: a backup that could not be kept is never
        // taken.
        history = std::make_unique<PlantHistory>(o.history);
        if (const QString failed = co_await history->Prepare(); !failed.isEmpty()) {
            io.Fail(io.Text("PlantHistoryFailed").arg(failed));
            co_return Trouble;
        }
    }
    if (o.plantAction == PlantAction::Report) {
        if (QFileInfo::exists(o.path) && !QFileInfo(o.path).isDir()) {
            io.Fail(io.Text("NotADirectory").arg(QDir::toNativeSeparators(o.path)));
            co_return Trouble;
        }
    }

    std::vector<std::unique_ptr<PlantLine>> lines;
    QStringList names;
    for (const plant::LineDef& d : def->lines) {
        auto l = std::make_unique<PlantLine>();
        l->def = d;
        l->options.command = CliCommand::Plant;
        l->options.plantLine = true;
        l->options.device = d.device;
        l->options.localEcho = d.localEcho;
        l->options.timeoutMs = d.timeoutMs;
        l->options.language = def->language;
        l->options.messageLanguage = io.Language();
        PlantLine* raw = l.get();
        l->streams.err = [raw](const QString& text) { raw->told << text; };
        l->io = std::make_unique<CliIo>(l->streams);
        l->line = std::make_unique<CliLine>(l->options, *l->io);
        names << d.name;
        lines.push_back(std::move(l));
    }
    ProgressRows progress(io, names);
    run.progress = &progress;
    for (size_t i = 0; i < lines.size(); ++i) {
        lines[i]->streams.progress = [&progress, i](const QString& text) {
            if (!text.isEmpty()) {
                progress.Set(int(i), text);
            }
        };
    }
    // Every line starts at once: each coroutine runs until its first wait, then the next one starts.
    std::vector<QCoro::Task<>> running;
    for (size_t i = 0; i < lines.size(); ++i) {
        running.push_back(RunLine(run, *lines[i], int(i)));
    }
    for (QCoro::Task<>& task : running) {
        co_await task;
    }
    progress.Finish();

    // What was told on each line, naming it.
    for (const auto& l : lines) {
        for (const InstrumentResult& r : l->results) {
            for (const QString& told : r.reasons) {
                io.Note(LineMessage(l->def.name, told));
            }
        }
    }

    bool trouble = false;
    bool differs = false;
    int changedInstruments = 0;
    int instruments = 0;
    QStringList historyLog;
    for (const auto& l : lines) {
        for (const InstrumentResult& r : l->results) {
            trouble = trouble || IsTrouble(r.outcome);
            const bool changed = r.outcome == Outcome::Changed || r.outcome == Outcome::New;
            differs = differs || changed;
            instruments += r.address != 0 ? 1 : 0;
            changedInstruments += changed ? 1 : 0;
            historyLog += r.historyLog;
        }
    }

    PrintResults(o, io, lines);

    if (history) {
        QStringList folders;
        for (const auto& l : lines) {
            if (QFileInfo(run.LineFolder(*l)).isDir()) {
                folders << l->def.name;
            }
        }
        if (!folders.isEmpty()) {
            QString message =
                historyLog.isEmpty()
                    ? run.FilesText("PlantStrayTitle")
                    : run.FilesText("PlantCommitTitle").arg(changedInstruments).arg(instruments);
            message += QStringLiteral("\n\n") + historyLog.join(QLatin1Char('\n')) + QLatin1Char('\n');
            bool committed = false;
            const QString failed = co_await history->Commit(folders, message, committed);
            if (!failed.isEmpty()) {
                io.Fail(io.Text("PlantHistoryFailed").arg(failed));
                trouble = true;
            } else if (committed) {
                const PlantHistory::Run head = co_await history->Git(GitArguments("rev-parse --short HEAD"));
                if (!o.json) {
                    io.Out(io.Text("PlantCommitted")
                               .arg(QString::fromLatin1(head.out.trimmed()),
                                    QDir::toNativeSeparators(o.history)));
                }
            } else if (!o.json) {
                io.Out(io.Text("PlantNoCommit"));
            }
        } else if (!o.json) {
            io.Out(io.Text("PlantNoCommit"));
        }
    }
    co_return trouble ? Trouble : differs ? Differ : Same;
}
