#pragma once

// The two settings files of the utility, both in the settings directory:
//
// prog.ini, six lines ending in CR LF:
//   1  start-up screen reply time-out (ms)   free label, "=", blank, number
//   2  main setup screen reply time-out (ms) same
//   3  pause before each instrument (ms)     same
//   4  "COMM Number = " port number          read as the last character of the line
//   5  "Language Type (0=Italian 1=English) = " hide flag of the Language menu   (last character)
//   6  "Language (0=Italian 1=English) = " language, 1 English                   (last character)
// Lines 1-3 are kept as read (ProgIniLines) and written back unchanged.
//
// Strum.ini: 32 lines, line n is "1" when address n is ticked on the start-up screen, else "0".
//
// Defaults (a missing or short prog.ini, a line 1-3 without "=", a line 4-6 that is missing or empty):
// reply time-outs of DefaultReplyTimeoutMs (a time-out of 0 or less read from the file gives the
// same), no pause, port 1, language menu shown, Italian. A line 1-3 that was replaced by its default
// gets a default text as well (e.g. "Start reply timeout (ms) = 500"), so that writing the file back
// gives a file every reader understands.

#include "modulo1.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

namespace settings {

inline constexpr char ProgIniName[] = "prog.ini";
inline constexpr char StrumIniName[] = "Strum.ini";
inline constexpr int InstrumentCount = 32;

inline constexpr int DefaultPollDelayMs = 0;
inline constexpr int DefaultCommPortNumber = 1;
inline constexpr int DefaultHideLanguageMenu = 0;
inline constexpr int DefaultLanguageIndex = 0;

// The texts written for lines 1-3 when the file did not give a usable line.
QString DefaultProgIniLine(int line); // line 1..3

// Fills the prog.ini settings of `m` (StartReplyTimeoutMs, MainReplyTimeoutMs, PollDelayMs,
// ProgIniLines, CommPortNumber, HideLanguageMenu, LanguageIndex) from the file's content. Lines may end
// in CR LF or LF. Always leaves exactly three ProgIniLines.
void ParseProgIni(const QByteArray& content, Modulo1& m);
// The file's content as WriteProgIni writes it.
QByteArray FormatProgIni(const Modulo1& m);

// The largest settings file that is read; a larger one counts as missing.
inline constexpr qint64 MaxFileBytes = 64 * 1024;

// Why a settings file was not read, or could not be written.
struct FileProblem {
    enum Reason {
        System,         // the system refused: see systemText
        NotRegularFile, // a directory, FIFO, device, socket (symbolic links are followed)
        TooLarge,       // more than MaxFileBytes
    };
    Reason reason = System;
    QString path;       // the file's full path
    QString systemText; // the system's words, for System
};

// Reads a settings file: only a regular file (symbolic links followed) of at most MaxFileBytes, opened
// so that nothing can block (a FIFO or a device is never opened for reading). Nothing when the file
// is missing or was refused; `problem` then says why it was refused (it is left alone for a missing
// file, which is not a problem).
std::optional<QByteArray> ReadSettingsFile(const QString& path, FileProblem* problem = nullptr);
// Writes a settings file through a temporary file in the same directory that is renamed over it once
// complete, so that an interrupted write leaves the old file whole. Refuses to replace anything but a
// regular file. False, with `problem` filled, when the file could not be written.
bool WriteSettingsFile(const QString& path, const QByteArray& content, FileProblem* problem = nullptr);

// Reads `dir`/prog.ini into `m`; a missing or refused file gives the defaults. False when the file was
// missing or refused (`problem` says why it was refused).
bool ReadProgIni(Modulo1& m, const QString& dir, FileProblem* problem = nullptr);
// Writes `dir`/prog.ini: lines 1-3 from ProgIniLines, then lines 4-6 from CommPortNumber,
// HideLanguageMenu, LanguageIndex. False when the file could not be written (`problem` says why).
bool WriteProgIni(const Modulo1& m, const QString& dir, FileProblem* problem = nullptr);

// Ticked addresses, index 1..32 (index 0 unused).
using InstrumentList = std::array<bool, InstrumentCount + 1>;

// A line ticks its address when its value is 1; lines missing at the end leave theirs unticked.
InstrumentList ParseInstrumentList(const QByteArray& content);
QByteArray FormatInstrumentList(const InstrumentList& list);
// Nothing when Strum.ini is missing, cannot be opened or was refused (`problem` says why it was
// refused).
std::optional<InstrumentList> LoadInstrumentList(const QString& dir, FileProblem* problem = nullptr);
bool SaveInstrumentList(const QString& dir, const InstrumentList& list, FileProblem* problem = nullptr);

// True for the directories the system installs programs in (/usr/bin, /usr/local/bin, /bin, ...): a
// program there is an installed one, and its directory is no place for settings even when it is
// writable (as it is for root).
bool IsSystemProgramDirectory(const QString& dir);
// Where the settings of a program in `programDir` live: that directory when it is writable and not a
// system one (a portable copy), else `userDir`.
QString ChooseSettingsDirectory(const QString& programDir, bool programDirWritable, const QString& userDir);
// The per-user settings folder below the user's configuration folder (~/.config on Linux): the one of
// quartel-setup, which quartel-cli shares.
inline constexpr char UserSettingsSubfolder[] = "Quartel/quartel-setup";
// The program's own directory when it is a portable copy (see ChooseSettingsDirectory), else the
// per-user settings folder (created when missing). quartel-setup and quartel-cli are installed (and
// built) in one folder, so both get the same one.
QString DefaultSettingsDirectory();
// The first start in a settings directory: writes prog.ini with the defaults and a Strum.ini with no
// address ticked where they are missing; whatever is there (even a dangling symbolic link) is left
// alone. False when a missing file could not be written.
bool WriteMissingDefaults(const QString& dir);

} // namespace settings
