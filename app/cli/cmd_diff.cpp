// quartel-cli diff: a live instrument against a setup file, or two setup files, as diff(1) reports two
// texts: what differs, then the count; exit status 0 the same, 1 different, 2 trouble.

#include "clicommands.h"
#include "clifiles.h"
#include "cliline.h"

#include "setupdiff.h"

#include <QDir>

namespace {

constexpr int Same = 0;
constexpr int Differ = 1;
constexpr int Trouble = 2;

// A message of the screens on one line of standard error.
QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

} // namespace

QCoro::Task<int> RunDiff(CliLine& line, CliIo& io) {
    const CliOptions& o = line.options();
    std::optional<setupdiff::Comparison> comparison;
    QString firstName;
    const QString secondName = QDir::toNativeSeparators(o.path2.isEmpty() ? o.path : o.path2);
    line.ReadSettings();
    // Only regular setup files are read: a missing one is told as missing, a FIFO is never opened.
    for (const QString& path : {o.path, o.path2}) {
        if (const QString refused = path.isEmpty() ? QString() : clifiles::ReadRefusal(io, path);
            !refused.isEmpty()) {
            io.Fail(refused);
            co_return Trouble;
        }
    }
    if (o.addresses.isEmpty()) {
        QString error;
        comparison = setupdiff::CompareFiles(o.path, o.path2, line.m().LanguageIndex, &error);
        if (!comparison) {
            io.Fail(OneLine(error));
            co_return Trouble;
        }
        firstName = QDir::toNativeSeparators(o.path);
    } else {
        if (!co_await line.Open()) {
            co_return Trouble;
        }
        const int a = o.addresses.first();
        const int model = co_await line.AnsweringModel(a);
        if (model == 0) {
            co_return Trouble;
        }
        Modulo1& m = line.m();
        // The file first: one the load would refuse costs no reading.
        const setupdiff::FileSide file = setupdiff::ReadSide(o.path, model, m.LanguageIndex);
        if (!file.ok) {
            io.Fail(OneLine(file.error));
            co_return Trouble;
        }
        CliInstrument inst(m, line.link());
        inst.Load(a, model);
        QString missing;
        if (!co_await inst.ReadForSave(missing)) {
            io.Fail(io.Text("NotRead").arg(a).arg(missing));
            co_return Trouble;
        }
        comparison =
            setupdiff::Compare(setupdiff::ValuesOf(inst.set, model), file.values, model, m.LanguageIndex);
        firstName = QStringLiteral("address %1").arg(a);
    }
    if (o.json) {
        io.Out(QString::fromUtf8(setupdiff::Json(*comparison, firstName, secondName)));
    } else {
        for (const QString& text : setupdiff::TextLines(*comparison, line.m().LanguageIndex)) {
            io.Out(text);
        }
    }
    co_return comparison->differences.isEmpty() ? Same : Differ;
}
