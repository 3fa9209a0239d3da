#include "cliline.h"

#include "cliend.h"
#include "clifiles.h"
#include "demo.h"
#include "frame.h"
#include "loopwait.h"
#include "ports.h"
#include "portsettings.h"
#include "registers.h"
#include "rules.h"
#include "screencontext.h"
#include "settings.h"
#include "setupfile.h"
#include "texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>

#include <unistd.h>

CliLine::CliLine(const CliOptions& options, CliIo& io)
    : options_(options), io_(io), link_(std::make_unique<SerialLink>(m_)) {
    // A device server that refuses or drops the connection is told once, when it happens: the
    // commands then report the addresses that did not answer as usual.
    QObject::connect(link_.get(), &SerialLink::ConnectionProblemChanged, link_.get(), [this] {
        const QString problem = ConnectionProblemText(*link_, m_.LanguageIndex);
        if (!problem.isEmpty()) {
            io_.Fail(QStringLiteral("%1: %2").arg(device_, problem));
        }
    });
    // Ctrl+C or SIGTERM: the port is closed, which also ends its exclusive mode and its lock.
    closeOnEnd_ = cliend::AddCleanup([this] { link_->ClosePort(); });
}

CliLine::~CliLine() {
    cliend::RemoveCleanup(closeOnEnd_);
    link_->ClosePort();
}

void CliLine::ReadSettings() {
    if (settingsRead_) {
        return;
    }
    settingsRead_ = true;
    settingsDir_ = options_.settingsDir;
    if (settingsDir_.isEmpty() && options_.demo) {
        // The demo never reads the user's own settings.
        scratch_ = std::make_unique<QTemporaryDir>();
        settingsDir_ = scratch_->isValid() ? scratch_->path() : QString();
    }
    if (settingsDir_.isEmpty() && !options_.plantLine) {
        settingsDir_ = settings::DefaultSettingsDirectory();
    }
    settings::FileProblem refused;
    settings::FileProblem portRefused;
    bool read = true;
    bool portRead = true;
    if (options_.plantLine) {
        // A line of a plant: the plant file says everything; no user's settings are read.
        settings::ParseProgIni(QByteArray(), m_);
    } else {
        read = settings::ReadProgIni(m_, settingsDir_, &refused);
        portRead = settings::ReadPortIni(m_, settingsDir_, &portRefused);
    }
    if (options_.timeoutMs > 0) {
        m_.StartReplyTimeoutMs = int16_t(options_.timeoutMs);
        m_.MainReplyTimeoutMs = int16_t(options_.timeoutMs);
    }
    if (options_.language >= 0) {
        m_.LanguageIndex = uint8_t(options_.language);
    }
    // From here on every message is in the run's language.
    io_.SetLanguage(options_.messageLanguage >= 0 ? options_.messageLanguage : m_.LanguageIndex);
    for (const auto& [wasRead, problem] : {std::pair{read, refused}, std::pair{portRead, portRefused}}) {
        if (!wasRead && !problem.path.isEmpty()) {
            const QString why = problem.reason == settings::FileProblem::NotRegularFile
                                    ? io_.Text("NotPlainFile")
                                : problem.reason == settings::FileProblem::TooLarge ? io_.Text("TooLarge")
                                                                                    : problem.systemText;
            io_.Note(io_.Text("SettingsNotRead").arg(QDir::toNativeSeparators(problem.path), why));
        }
    }
    // An adapter that hears itself: --local-echo, or the port dialog's choice.
    link_->SetLocalEcho(options_.localEcho || m_.LocalEcho);
    // The caption the model file records, as the start-up screen captures it.
    m_.InstrumentMenuCaption = TextOf(texts::Form2(), u"sel", m_.LanguageIndex);
}

QCoro::Task<bool> CliLine::Open() {
    ReadSettings();
    if (options_.demo) {
        demo_ = std::make_unique<DemoLine>();
        if (!demo_->Start()) {
            io_.Fail(io_.Text("DemoFailed").arg(demo_->ErrorString()));
            co_return false;
        }
        device_ = demo_->DevicePath();
    } else if (!options_.device.isEmpty()) {
        device_ = options_.device;
    } else {
        // As the screens choose: the port dialog's device, else the port number's.
        device_ = PortDevice(m_.ChosenDevice, m_.CommPortNumber);
        if (device_.isEmpty()) {
            io_.Fail(io_.Text("NoDevice").arg(m_.CommPortNumber));
            co_return false;
        }
    }
    // The usual reasons in the run's language: a device that is not there, or not the user's to open.
    int error = 0;
    const QByteArray path = QFile::encodeName(device_);
    if (!IsTcpDevice(device_) &&
        (::access(path.constData(), F_OK) != 0 || ::access(path.constData(), R_OK | W_OK) != 0)) {
        error = errno;
    }
    if (error != 0 || link_->OpenPort(device_) != OpenResult::Ok) {
        QString reason = error != 0 ? clifiles::SystemReason(io_, error) : link_->OpenErrorString();
        reason.remove(QRegularExpression(QStringLiteral("^open: ")));
        QString line = io_.Text("CannotOpen").arg(device_);
        if (!reason.isEmpty()) {
            line += QStringLiteral(": ") + reason;
        }
        const QFileInfo info(device_);
        if (info.exists() && (!info.isReadable() || !info.isWritable())) {
            // Serial devices belong to the dialout group.
            line += io_.Text("Dialout");
        }
        io_.Fail(line);
        co_return false;
    }
    if (IsTcpDevice(device_)) {
        co_return co_await Connected();
    }
    co_return true;
}

QCoro::Task<bool> CliLine::Connected() {
    // The connection is made in the background: nothing is sent until it is up, and a server that
    // refuses it or cannot be reached ends the run with its reason, before any address is tried.
    LoopWaker waker;
    const QMetaObject::Connection done =
        QObject::connect(link_.get(), &SerialLink::Connected, &waker, [&] { waker.Notify(); });
    const QMetaObject::Connection failed =
        QObject::connect(link_.get(), &SerialLink::ConnectionProblemChanged, &waker, [&] { waker.Notify(); });
    if (!link_->TcpConnected() && link_->ConnectionProblem() == SerialLink::Connection::Fine) {
        co_await waker.WaitFor(ConnectTimeoutMs);
    }
    QObject::disconnect(done);
    QObject::disconnect(failed);
    if (link_->TcpConnected()) {
        co_return true;
    }
    if (link_->ConnectionProblem() == SerialLink::Connection::Fine) {
        io_.Fail(
            QStringLiteral("%1: %2").arg(device_, io_.Text("ConnectTimeout").arg(ConnectTimeoutMs / 1000)));
    }
    // A refused or failed connection was told by the link's own notice.
    co_return false;
}

QCoro::Task<int> CliLine::ModelOf(int address) {
    if (options_.model != ModelAuto) {
        co_return options_.model;
    }
    co_return co_await ProbeModel(address);
}

QCoro::Task<int> CliLine::AnsweringModel(int address) {
    const int model = co_await ModelOf(address);
    if (model == 0) {
        io_.Fail(io_.Text("NoReply").arg(address));
    }
    co_return model;
}

QCoro::Task<int> CliLine::ProbeModel(int address) {
    co_return co_await ::ProbeModel(m_, *link_, static_cast<uint8_t>(address), m_.MainReplyTimeoutMs);
}

// --- CliInstrument ----------------------------------------------------------------------------------

CliInstrument::CliInstrument(Modulo1& mod, SerialLink& l)
    : m(mod), link(l), queue(m, link, [this] { return int(m.MainReplyTimeoutMs); }),
      set(m), session{m, link, queue, set}, commands(session), writer(session, marks, commands),
      reader(
          session, [this] { return tab; }, [this](int t) { tab = t; }),
      monitor(session, reader, display) {
    // The screen's marker rule on every change of a field.
    QObject::connect(&set, &ParameterSet::changed, &marks, [this](Field f) {
        const GroupId g = Parameter(f).group;
        marks.SetModified(g, ShowsMarker(g, m));
    });
}

void CliInstrument::Load(int address, int model) {
    m.DeviceAddress = uint8_t(address);
    m.InstrumentModel = int16_t(model);
    m.DivisionStep[address] = 0;
    m.DecimalCount[address] = 0;
    m.ErrorCount[address] = 0;
    m.Fl_setup = false;
    m.WeightView = 2;
    set.reset();
    set.setText(Field::Indir, QString::number(address));
    set.setText(Field::OffZero, QStringLiteral("0"));
    set.setText(Field::OffFS, QStringLiteral("0"));
    m.SetpointsRead = 0;
    m.AnalogAdjustMode = 0;
    m.TabRead.fill(0);
    m.PendingWriteA.clear();
    m.PendingWriteB.clear();
    m.WritePending = false;
    m.WriteRetries = 0;
    m.PendingFileAction = 0;
    m.RestartRequest = 0;
    m.ResetInProgress = 0;
    m.OptionsMenuPending = false;
    marks.Clear();
    m.OfflineEdit = false;
    m.DatasheetAnswer = 0;
    m.ReportNotes.clear();
    m.OpModeWritten = false;
    tab = 0;
}

QCoro::Task<> CliInstrument::MonitorPass() {
    co_await monitor.Pass();
}

QCoro::Task<bool> CliInstrument::ReadForSave(QString& failed) {
    // The screen has read the division and the set-points in its first pass before the user saves.
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && m.CurrentStep() == 0; ++attempt) {
        co_await reader.ReadDivisionCode();
    }
    co_await reader.ReadAllConfiguration();
    // The tab-0 read forgets the division and reads it again: the set-points and the weight-type
    // fields need it.
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && m.CurrentStep() == 0; ++attempt) {
        co_await reader.ReadDivisionCode();
    }
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && m.SetpointsRead == 0; ++attempt) {
        co_await monitor.ReadSetpoints();
    }
    // The full read's verdict, with the division and set points read again after it.
    QList<GroupId> missing;
    for (const GroupId id : reader.FailedGroups()) {
        if (!(id == GroupId::Division && m.CurrentStep() != 0) && id != GroupId::SetPoints) {
            missing << id;
        }
    }
    if (m.CurrentStep() == 0 && !missing.contains(GroupId::Division)) {
        missing << GroupId::Division;
    }
    if (m.SetpointsRead == 0) {
        missing << GroupId::SetPoints;
    }
    failed = setupfile::GroupNames(missing, m.LanguageIndex);
    co_return missing.isEmpty();
}

QString ModelName(int model) {
    return model == 1 ? QStringLiteral("VXA") : model == 2 ? QStringLiteral("VXB") : QStringLiteral("?");
}

QString DivisionText(const Modulo1& m, int address) {
    if (m.DivisionStep[address] == 0) {
        return QStringLiteral("?");
    }
    return DecodeValue(QString::number(m.DivisionStep[address]), m.DecimalCount[address]).trimmed();
}
