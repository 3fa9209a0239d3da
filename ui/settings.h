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

// Reads `dir`/prog.ini into `m`; a missing file gives the defaults. False when the file was missing
// or could not be read.
bool ReadProgIni(Modulo1& m, const QString& dir);
// Writes `dir`/prog.ini: lines 1-3 from ProgIniLines, then lines 4-6 from CommPortNumber,
// HideLanguageMenu, LanguageIndex. False when the file could not be written.
bool WriteProgIni(const Modulo1& m, const QString& dir);

// Ticked addresses, index 1..32 (index 0 unused).
using InstrumentList = std::array<bool, InstrumentCount + 1>;

// A line ticks its address when its value is 1; lines missing at the end leave theirs unticked.
InstrumentList ParseInstrumentList(const QByteArray& content);
QByteArray FormatInstrumentList(const InstrumentList& list);
// Nothing when Strum.ini cannot be opened.
std::optional<InstrumentList> LoadInstrumentList(const QString& dir);
bool SaveInstrumentList(const QString& dir, const InstrumentList& list);

// The program's own directory when it is writable (a portable copy), else the per-user configuration
// directory (created when missing).
QString DefaultSettingsDirectory();

} // namespace settings
