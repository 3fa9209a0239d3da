// The menu actions of the setup files: loading with the group writes, saving after the full read.

#include "setupfile.h"

#include "frame.h"
#include "registers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace setupfile;

SetupFiles::FileCheck SetupFiles::CheckFile(const QString& path, int model, int languageIndex,
                                            bool sizeFirst) {
    FileCheck check;
    const QString shown = QDir::toNativeSeparators(path);
    const auto refuse = [&](LoadOutcome outcome, Message message, const QString& messagePath) {
        check.outcome = outcome;
        check.title = MessageTitle(message, languageIndex);
        check.text = MessageText(message, languageIndex, messagePath);
        check.icon = MessageIcon(message);
        return check;
    };
    if (sizeFirst) {
        const QFileInfo info(path);
        if (info.exists() && info.size() > MaxFileBytes) {
            return refuse(LoadOutcome::TooLong, Message::TooLong, QString());
        }
    }

    // The model check: no model file means model 1; one without a number matches no model.
    const QString modelPath = ModelFileName(path);
    std::optional<int> fileModel = 1;
    if (QFileInfo::exists(modelPath)) {
        QFile modelFile(modelPath);
        fileModel = modelFile.open(QIODevice::ReadOnly) ? ParseModelFile(modelFile.read(MaxFileBytes + 1))
                                                        : std::nullopt;
    }
    if (fileModel != model) {
        return refuse(LoadOutcome::ModelMismatch, Message::ModelMismatch, shown);
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(LoadOutcome::CannotOpen, Message::CannotOpen, shown);
    }
    // Read whole before any field changes: half a configuration written into an instrument is worse
    // than none.
    check.parsed = ParseSetupFile(file.read(MaxFileBytes + 1));
    switch (check.parsed.error) {
    case ParseError::None:
        break;
    case ParseError::TooLong:
        return refuse(LoadOutcome::TooLong, Message::TooLong, QString());
    case ParseError::TooShort:
        return refuse(LoadOutcome::Incomplete, Message::Incomplete, shown);
    case ParseError::NotText:
        return refuse(LoadOutcome::Refused, Message::NotText, shown);
    case ParseError::NotANumber:
        refuse(LoadOutcome::Refused, Message::Incomplete, shown);
        check.text = NotANumberText(shown, check.parsed, languageIndex, model);
        return check;
    }
    // A value the instrument cannot hold would reach it as another value: nothing is sent.
    check.unheldLine = UnheldLine(check.parsed.values, model);
    if (check.unheldLine != 0) {
        refuse(LoadOutcome::Refused, Message::Incomplete, shown);
        check.text = NotHeldText(shown, check.parsed.values, check.unheldLine, languageIndex, model);
    }
    return check;
}

SetupFiles::SetupFiles(Session& session, ConfigWriter& writer, ConfigReader& reader, FileActions& actions)
    : s_(session), writer_(writer), reader_(reader), actions_(actions) {}

QCoro::Task<> SetupFiles::ShowMessage(Message message, const QString& path) {
    const int language = s_.m.LanguageIndex;
    co_await actions_.Message(MessageTitle(message, language), MessageText(message, language, path),
                              MessageIcon(message));
}

QCoro::Task<> SetupFiles::RunPendingFileAction() {
    Modulo1& m = s_.m;
    if (m.PendingFileAction == 1) {
        m.PendingFileAction = 0;
        co_await FOpenProc();
        actions_.Busy(false);
    } else if (m.PendingFileAction == 2) {
        m.PendingFileAction = 0;
        co_await Save();
    }
}

int SetupFiles::GroupWritesPerLoad() {
    int writes = 0;
    for (const LineDef& line : Lines()) {
        writes += int(line.writes.has_value()) + int(line.writes2.has_value());
    }
    return writes;
}

QCoro::Task<SetupFiles::SaveOutcome> SetupFiles::Save() {
    Modulo1& m = s_.m;
    lastSaved_.clear();
    actions_.Busy(true);
    co_await actions_.LetEventsRun();
    if (!m.OfflineEdit) {
        // What is saved is what the instrument holds now.
        co_await reader_.ReadAllConfiguration();
        if (!m.ReadAllOk) {
            actions_.Busy(false);
            const int language = m.LanguageIndex;
            co_await actions_.Message(MessageTitle(Message::ReadFailed, language),
                                      MessageText(Message::ReadFailed, language) + QLatin1Char('\r') +
                                          NotReadText(reader_.FailedGroups(), language),
                                      MessageIcon(Message::ReadFailed));
            co_return SaveOutcome::ReadFailed;
        }
    }
    const QString path = co_await GetFileName(QString::fromLatin1(ProposedName));
    SaveOutcome outcome = SaveOutcome::Cancelled;
    if (!path.isEmpty()) {
        outcome = co_await SaveFileAs(path) ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
        if (outcome == SaveOutcome::Saved) {
            lastSaved_ = path;
        }
    }
    actions_.Busy(false);
    co_return outcome;
}

QCoro::Task<QString> SetupFiles::GetFileName(const QString& Filename) {
    co_return co_await actions_.AskSaveFile(Filename);
}

QCoro::Task<bool> SetupFiles::SaveFileAs(const QString& Filename) {
    const Modulo1& m = s_.m;
    const SaveResult result = SaveFiles(Filename, BuildSetupFile(s_.set, m.LanguageIndex, m.InstrumentModel),
                                        BuildModelFile(m.InstrumentMenuCaption, m.InstrumentModel));
    if (!result.ok) {
        actions_.Busy(false);
        co_await ShowMessage(Message::SaveFailed, QDir::toNativeSeparators(result.failedPath));
    }
    co_return result.ok;
}

QCoro::Task<SetupFiles::LoadReport> SetupFiles::FOpenProc() {
    const QString path = co_await actions_.AskOpenFile();
    if (path.isEmpty()) {
        lastLoad_ = LoadReport{};
        co_return LoadReport(lastLoad_);
    }
    co_return co_await Load(path);
}

QCoro::Task<SetupFiles::LoadReport> SetupFiles::Load(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && info.size() > MaxFileBytes) {
        lastLoad_ = LoadReport{LoadOutcome::TooLong, {}, path};
        co_await ShowMessage(Message::TooLong);
        co_return LoadReport(lastLoad_);
    }
    co_return co_await OpenFile(path);
}

QCoro::Task<SetupFiles::LoadReport> SetupFiles::OpenFile(const QString& Filename) {
    Modulo1& m = s_.m;
    LoadReport& report = lastLoad_;
    report = LoadReport{};
    report.path = Filename;
    actions_.Busy(true);
    const FileCheck check = CheckFile(Filename, m.InstrumentModel, m.LanguageIndex, false);
    if (check.outcome != LoadOutcome::Loaded) {
        report.outcome = check.outcome;
        co_await actions_.Message(check.title, check.text, check.icon);
        co_return LoadReport(lastLoad_);
    }
    const Parsed& parsed = check.parsed;

    const int model = m.InstrumentModel;
    // The analog group's write also carries the two trimming offsets of the analog output, which the
    // file does not hold. Unless the analog tab has been read, they are read from the instrument before
    // any field changes, so that the load writes them back as they are, never as zero; when they
    // cannot be read, the analog group is not written.
    bool trimmingKnown = true;
    if (!m.OfflineEdit && model != 2) {
        trimmingKnown = co_await ReadAnalogTrimming();
    }
    for (const LineDef& line : Lines()) {
        ApplyValue(s_.set, line, parsed.values[line.line - 1], model);
        if (m.OfflineEdit || s_.leaving) {
            continue;
        }
        for (const std::optional<GroupId>& group : {line.writes, line.writes2}) {
            if (!group || s_.leaving) {
                continue;
            }
            const bool confirmed =
                *group == GroupId::Analog && !trimmingKnown ? false : co_await WriteGroup(*group);
            if (s_.leaving) {
                // The user leaves the screen: the rest of the file only fills the fields.
                break;
            }
            const GroupResult result{*group, confirmed};
            report.groups << result;
            if (onGroupResult) {
                onGroupResult(result);
            }
            if (!confirmed) {
                co_await actions_.Message(ApplicationTitle(m.LanguageIndex),
                                          GroupFailureText(*group, m.LanguageIndex), FileActions::Icon::None);
            }
            if (*group == GroupId::Division) {
                co_await ReadBackDivision();
            }
        }
    }
    report.outcome = s_.leaving ? LoadOutcome::Stopped : LoadOutcome::Loaded;
    co_return LoadReport(lastLoad_);
}

QCoro::Task<bool> SetupFiles::ReadAnalogTrimming() {
    constexpr int AnalogTab = 5;
    if (s_.m.TabRead[size_t(AnalogTab + 1)] != 0) {
        co_return true;
    }
    // The block, of which only the two offsets are taken: they are no weights, so they are read whatever
    // the division code says (the file's weights replace the others).
    const ParameterGroup& g = Group(GroupId::Analog);
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && !s_.leaving; ++attempt) {
        const std::optional<QByteArray> reply = co_await s_.Read(
            Fn::ReadHoldingRegisters, g.startRegister, uint16_t(ReadCount(GroupId::Analog)), Prefix::Block);
        if (reply) {
            for (const Field f : {Field::OffZero, Field::OffFS}) {
                const uint16_t value = ReadRegisterUnsigned(*reply, RegisterOf(f) - g.startRegister);
                s_.set.setText(f, DecodeText(Parameter(f).encoding, value, 0, s_.m));
            }
            co_return true;
        }
    }
    co_return false;
}

QCoro::Task<bool> SetupFiles::WriteGroup(GroupId id) {
    Modulo1& m = s_.m;
    WriteQueue& queue = s_.queue;
    const ParameterGroup& g = Group(id);
    QByteArray& slot = g.slot == WriteSlot::A ? m.PendingWriteA : m.PendingWriteB;

    // The send handler, as its button does. Whatever an earlier failed group left behind is gone.
    slot.clear();
    writer_.Send(id);
    if (slot.isEmpty()) {
        // Refused by its check (or nothing to send): nothing to wait for.
        co_return false;
    }
    const QByteArray mine = slot;
    quint64 confirmations = queue.Confirmations(g.slot);
    bool mineConfirmed = false;
    m.WritePending = true;
    const bool slotB = g.slot == WriteSlot::B;
    // Each round sends at most one request per slot; a confirmation or WriteRetries at 5 ends the wait,
    // and the queue drops a request after its retries, so the rounds are bounded.
    for (;;) {
        co_await queue.ServiceWriteQueueA();
        if (slotB && !s_.leaving) {
            co_await queue.ServiceWriteQueueB();
        }
        // A handler may put a request of its own in the slot while the group's is on the wire: only the
        // echo of the group's own request counts for the group.
        if (queue.Confirmations(g.slot) != confirmations) {
            confirmations = queue.Confirmations(g.slot);
            mineConfirmed = mineConfirmed || queue.LastConfirmed(g.slot) == mine;
        }
        if (!m.WritePending) {
            co_return mineConfirmed;
        }
        if (m.WriteRetries >= GroupFailedRetries) {
            break;
        }
        if (s_.leaving) {
            // The exit procedure sends what is still queued.
            co_return false;
        }
        if (m.PendingWriteA.isEmpty() && m.PendingWriteB.isEmpty()) {
            break; // nothing left to send: never wait on an empty queue
        }
    }
    // Failed: the group is not retried, neither here nor by the next pass of the loop.
    queue.EmptySlot(WriteSlot::A);
    queue.EmptySlot(WriteSlot::B);
    m.WritePending = false;
    m.WriteRetries = 0;
    co_return false;
}

QCoro::Task<> SetupFiles::ReadBackDivision() {
    // The set points are encoded with the division just written: wait until it is known again.
    for (int request = 0; request < DivisionReadBackTries && s_.m.CurrentStep() == 0 && !s_.leaving;
         ++request) {
        co_await reader_.ReadDivisionCode();
    }
}
