#include "cliio.h"

#include "texts_cli.h"

QJsonValue JsonNumber(const QString& shown) {
    bool ok = false;
    const double value = shown.trimmed().toDouble(&ok);
    return ok ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString CliIo::Text(const char* key) const {
    return TextOf(texts::Cli(), QString::fromLatin1(key), language_);
}

void CliIo::Out(const QString& line) {
    // On a terminal both streams share the screen: the progress line goes before a result is written.
    ClearProgress();
    if (s_.out) {
        s_.out(line + QLatin1Char('\n'));
    }
}

void CliIo::Raw(const QString& text) {
    if (s_.out) {
        s_.out(text);
    }
}

void CliIo::RawBytes(const QByteArray& bytes) {
    if (s_.outBytes) {
        s_.outBytes(bytes);
    } else if (s_.out) {
        s_.out(QString::fromLatin1(bytes));
    }
}

void CliIo::Fail(const QString& reason) {
    Note(QStringLiteral("quartel-cli: ") + reason);
}

void CliIo::Note(const QString& line) {
    ClearProgress();
    if (s_.err) {
        s_.err(line + QLatin1Char('\n'));
    }
}

void CliIo::Progress(const QString& text) {
    if (s_.progress) {
        s_.progress(text);
        return;
    }
    if (!s_.errIsTerminal || !s_.err) {
        return;
    }
    // Back to the start of the line, the text, the rest of the line erased.
    s_.err(QLatin1Char('\r') + text + QStringLiteral("\x1b[K"));
    progressShown_ = true;
}

void CliIo::ClearProgress() {
    if (!progressShown_) {
        return;
    }
    progressShown_ = false;
    if (s_.err) {
        s_.err(QStringLiteral("\r\x1b[K"));
    }
}
