#pragma once

// The configuration logic of the main setup screen wired to a simulated instrument over a
// pseudo-terminal: shared state, a real serial link, the write queue, the parameter set, the group
// marks, the reader, the setup commands and the writer. The tab on show is a plain number.

#include "../support/coro.h"
#include "../support/handframe.h"

#include "configreader.h"
#include "configwriter.h"
#include "groupmarks.h"
#include "rules.h"
#include "session.h"
#include "setupcommands.h"
#include "simulator.h"

#include <QtTest>

#include <memory>

namespace rig {

inline constexpr int ReplyTimeoutMs = 100;

using handframe::Frame;
using handframe::Lrc;

// Applies edits "Control=text" (text fields) or "Control#index" (list fields) to the set.
inline bool Apply(ParameterSet& set, const QStringList& edits) {
    for (const QString& edit : edits) {
        const qsizetype eq = edit.indexOf('=');
        const qsizetype hash = edit.indexOf('#');
        const qsizetype cut = eq >= 0 ? eq : hash;
        const std::optional<Field> field = FieldByControlName(edit.left(cut));
        if (cut < 0 || !field) {
            qWarning() << "unknown edit" << edit;
            return false;
        }
        const bool ok = eq >= 0 ? set.setText(*field, edit.mid(cut + 1))
                                : set.setIndex(*field, edit.mid(cut + 1).toInt());
        if (!ok) {
            qWarning() << "edit refused" << edit;
            return false;
        }
    }
    return true;
}

struct Rig {
    Simulator sim;
    Modulo1 m;
    SerialLink link{m};
    WriteQueue queue{m, link, [this] { return int(m.MainReplyTimeoutMs); }};
    std::unique_ptr<ParameterSet> set;
    std::unique_ptr<Session> session;
    GroupMarks marks;
    std::unique_ptr<SetupCommands> commands;
    std::unique_ptr<ConfigWriter> writer;
    std::unique_ptr<ConfigReader> reader;
    int tab = 0;
    QList<int> tabsShown;
    SimInstrument* inst = nullptr;

    // `model` is the instrument model of the screen and of the simulated instrument at address 1.
    explicit Rig(int model = 1) {
        m.InstrumentModel = static_cast<int16_t>(model);
        m.MainReplyTimeoutMs = ReplyTimeoutMs;
        m.DeviceAddress = 1;
        set = std::make_unique<ParameterSet>(m);
        set->reset();
        session = std::make_unique<Session>(Session{m, link, queue, *set});
        commands = std::make_unique<SetupCommands>(*session);
        writer = std::make_unique<ConfigWriter>(*session, marks, *commands);
        reader = std::make_unique<ConfigReader>(
            *session, [this] { return tab; },
            [this](int t) {
                tab = t;
                tabsShown << t;
            });
        // The screen's marker rule, applied to every change of a field.
        QObject::connect(set.get(), &ParameterSet::changed, &marks, [this](Field f) {
            const GroupId g = Parameter(f).group;
            marks.SetModified(g, ShowsMarker(g, m));
        });
    }

    // Opens the simulated line with an instrument of the rig's model at address 1.
    bool Open() {
        if (!sim.open()) {
            return false;
        }
        inst = sim.addInstrument(1, m.InstrumentModel);
        return inst != nullptr && link.OpenPort(sim.devicePath()) == OpenResult::Ok;
    }

    // Runs one coroutine of the logic to its end.
    template <typename Fn> bool Run(Fn fn) {
        auto run = Start(std::move(fn));
        return QTest::qWaitFor([&] { return run.done(); }, 20000);
    }
    bool Read() {
        return Run([this] { return reader->ReadTabBlock(); });
    }
    // The queue steps of one pass of the polling loop.
    bool Pass() {
        return Run([this]() -> QCoro::Task<> {
            co_await queue.ServiceWriteQueueA();
            co_await queue.ServiceWriteQueueB();
        });
    }

    // Request frames the simulator received from now on (cleared here).
    void ClearWire() { sim.clearRequests(); }
    QList<QByteArray> Wire() const { return sim.frames(); }
};

} // namespace rig
