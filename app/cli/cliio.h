#pragma once

// Where quartel-cli writes: standard output for the results, standard error for the one-line reasons
// of failures and for the progress line, which is shown only when standard error is a terminal.

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <optional>

// Exit statuses of quartel-cli.
inline constexpr int ExitOk = 0;     // everything asked for succeeded
inline constexpr int ExitFailed = 1; // something asked for failed; standard error says what
inline constexpr int ExitUsage = 2;  // the command line was wrong; nothing was sent

struct CliStreams {
    std::function<void(const QString&)> out; // text as given, line ends included
    std::function<void(const QString&)> err;
    std::function<void(const QByteArray&)> outBytes; // bytes as they are (a PDF); empty: through `out`
    bool errIsTerminal = false;
    // Where the progress line goes instead of standard error (a line of a plant has a row of its own);
    // an empty text clears it.
    std::function<void(const QString&)> progress;
    // The answer the user types to a prompt (verify), without its line end; nothing at the end of the
    // input.
    std::function<std::optional<QString>()> readLine;
    // Told of each test load verify asks for, before it waits for the reading (address, the load in
    // divisions, position): a test places the load on its simulated scale.
    std::function<void(int address, qint32 divisions, int position)> placeLoad;
};

// A number the screens show as text, as a JSON number (the shown text's decimals are kept in its value);
// null when the text is not a number (a state such as "O - L", an empty field).
QJsonValue JsonNumber(const QString& shown);

// Writing helpers: one line each, the line end added.
class CliIo {
public:
    explicit CliIo(CliStreams& streams) : s_(streams) {}

    // The run's language (LanguageIndex: 1 English, else Italian), set once the settings are read;
    // English until then.
    void SetLanguage(int languageIndex) { language_ = languageIndex; }
    int Language() const { return language_; }
    // The message `key` of quartel-cli in the run's language.
    QString Text(const char* key) const;

    // A result on standard output (the progress line is cleared first).
    void Out(const QString& line);
    // Text on standard output as given, line ends included.
    void Raw(const QString& text);
    // Bytes on standard output as they are.
    void RawBytes(const QByteArray& bytes);
    // "quartel-cli: " + reason, on standard error (the progress line is cleared first).
    void Fail(const QString& reason);
    // A line on standard error that is not a failure (a note, the statistics).
    void Note(const QString& line);
    // Replaces the progress line (terminal only).
    void Progress(const QString& text);
    void ClearProgress();
    bool ProgressShown() const { return progressShown_; }
    CliStreams& Streams() { return s_; }

private:
    CliStreams& s_;
    bool progressShown_ = false;
    int language_ = 1;
};
