#pragma once

// Setup files: a whole instrument configuration on disk (extension "stp", 39 lines read back by
// position) with its one-line model file (extension "typ").
//
// Line format (both files): key text, separator, TAB, value text, CR LF. The key is the caption that
// the field's label shows in the current language (for people only: the reader ignores it), the
// separator " = ", or " Out 1 = " / " Out 2 = " for the two relay-output blocks whose labels both
// outputs share. The value is a text field's text exactly as shown (leading blanks included) or a list
// field's index as a plain decimal integer ("-1": nothing selected); line 29 (ModSer) of a model-2
// instrument holds the mode code instead ("1" for index 0, "5" for index 1). The files are written in
// Windows-1252 (the Italian keys contain "à"), so that a file saved here is byte for byte the file the
// same configuration gives on a Windows PC.
//
// The pure functions build and parse the bytes; SetupFiles carries out the menu actions of the main
// setup screen (and of the command-line tool): the open and save dialogs, the model check, the loading
// into the ParameterSet with the group writes in the order of the file, the full read before an
// on-line save, and every message. What the user sees and answers goes through FileActions.

#include "configreader.h"
#include "configwriter.h"
#include "frame.h" // DivisionInfo
#include "parameterset.h"
#include "session.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>
#include <span>

namespace setupfile {

inline constexpr int LineCount = 39;
// A longer file is refused before anything else is looked at (65000 bytes load, 65001 do not).
inline constexpr qint64 MaxFileBytes = 65000;
// The proposed name of the save dialog.
inline constexpr const char* ProposedName = "File_Setup1";
// The filter of the open and save dialogs (CMDialog1), in the "text|pattern|text|pattern" form.
inline constexpr const char* DialogFilter = "Setup Files (*.stp)|*.stp|All Files (*.*)|*.*";

// One line of the setup file.
struct LineDef {
    int line;                       // 1..39
    Field field;                    // the field whose value the line holds
    const char* keyControl;         // the label whose caption is the key
    const char* separator;          // " = ", " Out 1 = " or " Out 2 = "
    std::optional<GroupId> writes;  // the group that loading writes after this line
    std::optional<GroupId> writes2; // after line 8: the set points follow the division
};
std::span<const LineDef> Lines(); // lines 1..39 in order

// --- Windows-1252 ---------------------------------------------------------------------------------
// Characters that the code page lacks are written as "?".
QByteArray EncodeCp1252(QStringView text);
QString DecodeCp1252(QByteArrayView bytes);

// --- Writing ----------------------------------------------------------------------------------------
// The key of a line: its label's caption in the language (Label36 with the model-2 text for model 2).
QString KeyText(const LineDef& line, int languageIndex, int model);
// The value text of a line as it is written.
QString ValueText(const ParameterSet& set, const LineDef& line, int model);
// The 39 lines, CR LF after each, in Windows-1252.
QByteArray BuildSetupFile(const ParameterSet& set, int languageIndex, int model);
// "caption = <TAB>model" CR LF; the caption is InstrumentMenuCaption.
QByteArray BuildModelFile(const QString& menuCaption, int model);
// The model file of a setup file: its last three characters replaced by "typ".
QString ModelFileName(const QString& setupFileName);

// --- Reading ----------------------------------------------------------------------------------------
// The value of a line: the text after its last TAB (the whole line when it has none).
QString ValueOfLine(const QString& line);
// The lines of a file: CR LF, LF or CR end a line; a last line without an end counts.
QStringList SplitLines(const QString& text);

enum class ParseError { None, TooLong, TooShort, NotText, NotANumber };
struct Parsed {
    ParseError error = ParseError::None;
    QStringList values; // the 39 values when error is None
    int lineCount = 0;  // lines found
    int badLine = 0;    // NotANumber: the line (1..39) whose value is no number
    QString badValue;   // and its value
};
// Windows-1252 or ASCII bytes -> the 39 values. Refused: more than MaxFileBytes; NUL bytes (a file
// in UTF-16, or no text at all); fewer than 39 lines; a value that is no number of its line: a text
// field's value is what its field accepts (IsFieldNumber: digits, blanks, one decimal point where the
// field has decimals), a list's value a list index (digits, blanks, one sign and one decimal point).
// An empty value is taken as it is.
Parsed ParseSetupFile(QByteArrayView bytes);
// Whether a list line's value can be read as the number it stands for.
bool IsNumberText(QStringView value);
// Whether a line's value is a number of its line (see ParseSetupFile).
bool IsLineNumber(const LineDef& line, QStringView value);

// The division a file's weights are written with: its own division line (8), which loading writes before
// the set points and the analog output. A division line that loading leaves alone gives no division.
DivisionInfo FileDivision(const QStringList& values, int model);
// Whether the instrument holds the line's value whole at `division` (FitsRegister): no weight of more
// than 65,535 divisions, no whole number above 65535.
bool LineHeld(const LineDef& line, const QString& value, DivisionInfo division);
// The first line (1..39) of the 39 values that cannot be held at the file's division; 0 when none.
int UnheldLine(const QStringList& values, int model);
// The model a model file names; nothing when the file holds no number (empty, blanks, text).
std::optional<int> ParseModelFile(QByteArrayView bytes);

// A list value: read as a decimal number (blanks ignored, reading stops at the first character that
// cannot continue the number, no digits gives 0), rounded halves to even. Nothing when the number is
// not finite or lies outside the int range.
std::optional<int> ListValue(const QString& value);
// Puts one line's value into its field, raising the field's change notification (as an edit does).
// Text fields take the value exactly; a list takes the index (-1 clears it, an index it does not have
// leaves it); line 29 of model 2 maps "1" to index 0, "5" to index 1 and leaves the list otherwise.
void ApplyValue(ParameterSet& set, const LineDef& line, const QString& value, int model);
// The index that putting a list line's value selects (-1: nothing selected); nothing when the list is left
// as it is (an index it does not have, no number, a model-2 mode code other than "1" and "5").
std::optional<int> LoadedIndex(const LineDef& line, const QString& value, int model);

// --- Files on disk ----------------------------------------------------------------------------------
struct SaveResult {
    bool ok = false;
    QString failedPath; // the file that could not be written
    QString reason;     // the system's reason
};
// Writes the model file, then the setup file, each to a temporary file beside its target that is
// renamed into place once complete: never half a file.
SaveResult SaveFiles(const QString& setupPath, const QByteArray& setupBytes, const QByteArray& modelBytes);

} // namespace setupfile

// --- Messages and dialogs -------------------------------------------------------------------------

// What the setup-file actions show and ask. The main setup screen shows message boxes and the file
// dialog CMDialog1 through its Prompter; the command-line tool writes to stderr and takes paths from
// its arguments.
class FileActions {
public:
    enum class Icon { None, Exclamation };
    virtual ~FileActions() = default;
    // A message box with an OK button only.
    virtual QCoro::Task<> Message(const QString& title, const QString& text, Icon icon) = 0;
    // The open dialog; an empty path when the user cancels.
    virtual QCoro::Task<QString> AskOpenFile() = 0;
    // The save dialog proposing `proposedName`; an empty path when the user cancels.
    virtual QCoro::Task<QString> AskSaveFile(const QString& proposedName) = 0;
    // The hourglass pointer on (true) or back to the default.
    virtual void Busy(bool) {}
    // Pending window events run once (the save shows its hourglass first).
    virtual QCoro::Task<> LetEventsRun() { co_return; }
};

// The texts of the messages (texts::SetupFileMessages), in the language.
namespace setupfile {
enum class Message {
    TooLong,       // no icon, application title
    ModelMismatch, // exclamation, "Attention !!"; takes the path
    CannotOpen,    // exclamation; takes the path
    Incomplete,    // exclamation; takes the path (fewer than 39 lines)
    NotText,       // exclamation; takes the path (NUL bytes: UTF-16 or no text)
    ReadFailed,    // exclamation; the full read before an on-line save failed
    SaveFailed,    // exclamation; takes the path of the file that could not be written
};
QString MessageTitle(Message message, int languageIndex);
QString MessageText(Message message, int languageIndex, const QString& path = QString());
// The refusal of a file whose line holds a value that is no number (the line, its key, the value).
QString NotANumberText(const QString& path, const Parsed& parsed, int languageIndex, int model);
// The refusal of a file whose line holds a value that its register cannot hold at the file's division
// (the line, its key, the value, the largest value the line takes).
QString NotHeldText(const QString& path, const QStringList& values, int line, int languageIndex, int model);
FileActions::Icon MessageIcon(Message message);
// The group-write failure message of a group (no icon, application title).
QString GroupFailureText(GroupId id, int languageIndex);
// The names of groups in a message, joined by commas.
QString GroupNames(const QList<GroupId>& groups, int languageIndex);
// The line that names the groups the instrument did not give.
QString NotReadText(const QList<GroupId>& groups, int languageIndex);
QString ApplicationTitle(int languageIndex);
} // namespace setupfile

// --- The actions ----------------------------------------------------------------------------------

// Loading and saving for the main setup screen's menus Ap and Sal (PendingFileAction 1 and 2) and
// for the command-line tool.
class SetupFiles {
public:
    // Refused: NUL bytes, or a value that is no number where a number belongs.
    enum class LoadOutcome {
        Cancelled,
        TooLong,
        ModelMismatch,
        CannotOpen,
        Incomplete,
        Refused,
        Loaded,
        Stopped
    };
    struct GroupResult {
        GroupId group;
        bool confirmed; // false: refused by its check, queued nothing, or no echo after its retries
    };
    struct LoadReport {
        LoadOutcome outcome = LoadOutcome::Cancelled;
        QList<GroupResult> groups; // in the order written (none with offline editing)
        QString path;              // the file, once one was chosen
    };
    enum class SaveOutcome { Saved, Cancelled, ReadFailed, WriteFailed };

    // Tries of the division read-back after the division was written.
    static constexpr int DivisionReadBackTries = 5;
    // WriteRetries at which a group of the load counts as failed.
    static constexpr int GroupFailedRetries = 5;

    SetupFiles(Session& session, ConfigWriter& writer, ConfigReader& reader, FileActions& actions);

    // Called with each group's result as soon as it is known (the command-line tool prints it).
    std::function<void(const GroupResult&)> onGroupResult;

    // Main-loop step: carries out the load (1) or save (2) that PendingFileAction asks for.
    QCoro::Task<> RunPendingFileAction();
    // Asks for a file to load, checks its size and loads it.
    QCoro::Task<LoadReport> FOpenProc();
    // The save dialog proposing `Filename`; the chosen path, or "" when the user cancels.
    QCoro::Task<QString> GetFileName(const QString& Filename);
    // Model check, reading into the fields, group writes (unless OfflineEdit). Shows its messages.
    QCoro::Task<LoadReport> OpenFile(const QString& Filename);
    // Writes the model file and the setup file from the fields. Shows the failure message; true when
    // both files were written.
    QCoro::Task<bool> SaveFileAs(const QString& Filename);
    // The whole save of the menu: the full read (unless OfflineEdit), the dialog, the files.
    QCoro::Task<SaveOutcome> Save();
    // Loading from a path without the dialog: the size check, then OpenFile.
    QCoro::Task<LoadReport> Load(const QString& path);

    const LoadReport& LastLoad() const { return lastLoad_; }
    // The setup file the last save wrote; empty when it wrote none.
    const QString& LastSaved() const { return lastSaved_; }
    // The group writes a load of a whole file makes on a live instrument.
    static int GroupWritesPerLoad();

    // What loading `path` into an instrument of `model` finds before any field changes: the model check,
    // the opening and the reading with their refusals, each with the message the load shows. With
    // `sizeFirst` the size is checked before the model, as the open item does.
    struct FileCheck {
        LoadOutcome outcome = LoadOutcome::Loaded; // Loaded: the file would load
        QString title;
        QString text;
        FileActions::Icon icon = FileActions::Icon::Exclamation;
        setupfile::Parsed parsed; // the 39 values when it would load, or when only unheldLine refuses it
        int unheldLine = 0;       // the first line the instrument cannot hold at the file's division
    };
    static FileCheck CheckFile(const QString& path, int model, int languageIndex, bool sizeFirst);

private:
    QCoro::Task<> ShowMessage(setupfile::Message message, const QString& path = QString());
    // One group-write step; true when the instrument confirmed the group.
    QCoro::Task<bool> WriteGroup(GroupId id);
    // Reads the analog output's two trimming offsets from its block (whatever the division code says)
    // unless the analog tab has been read; false when they could not be read.
    QCoro::Task<bool> ReadAnalogTrimming();
    QCoro::Task<> ReadBackDivision();

    Session& s_;
    ConfigWriter& writer_;
    ConfigReader& reader_;
    FileActions& actions_;
    LoadReport lastLoad_;
    QString lastSaved_;
};
