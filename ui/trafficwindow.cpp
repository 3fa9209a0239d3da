#include "trafficwindow.h"

#include "applytexts.h"
#include "prompter.h"
#include "texts_traffic.h"
#include "traffic.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

TrafficWindow::TrafficWindow(TrafficLog& log, const Modulo1& m, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), m_(m), prompter_(prompter) {
    setObjectName(QStringLiteral("TrafficWindow"));
    auto* layout = new QVBoxLayout(this);
    Lines = new QPlainTextEdit(this);
    Lines->setObjectName(QStringLiteral("Lines"));
    Lines->setReadOnly(true);
    Lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    Lines->setMaximumBlockCount(log.Capacity());
    Lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Lines->setUndoRedoEnabled(false);
    layout->addWidget(Lines, 1);
    Counters = new QLabel(this);
    Counters->setObjectName(QStringLiteral("Counters"));
    layout->addWidget(Counters);
    auto* buttons = new QHBoxLayout;
    TrafficPause = new QPushButton(this);
    TrafficPause->setObjectName(QStringLiteral("TrafficPause"));
    TrafficPause->setCheckable(true);
    TrafficClear = new QPushButton(this);
    TrafficClear->setObjectName(QStringLiteral("TrafficClear"));
    TrafficSave = new QPushButton(this);
    TrafficSave->setObjectName(QStringLiteral("TrafficSave"));
    buttons->addWidget(TrafficPause);
    buttons->addWidget(TrafficClear);
    buttons->addStretch(1);
    buttons->addWidget(TrafficSave);
    layout->addLayout(buttons);

    connect(TrafficPause, &QPushButton::toggled, this, [this](bool down) {
        if (!down) {
            Refresh(); // what came meanwhile, at once
        }
    });
    connect(TrafficClear, &QPushButton::clicked, this, &TrafficWindow::Clear_Click);
    connect(TrafficSave, &QPushButton::clicked, this, &TrafficWindow::Save_Click);
    repaint_.setInterval(RepaintIntervalMs);
    connect(&repaint_, &QTimer::timeout, this, &TrafficWindow::Refresh);
    ApplyLanguage();
    resize(900, 420);
}

TrafficWindow::~TrafficWindow() {
    Listen(false);
}

void TrafficWindow::Listen(bool on) {
    if (on == listening_) {
        return;
    }
    listening_ = on;
    if (on) {
        log_.AddWatcher();
        repaint_.start();
    } else {
        log_.RemoveWatcher();
        repaint_.stop();
    }
}

void TrafficWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ApplyLanguage();
    Listen(true);
    Refresh();
}

void TrafficWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Listen(false);
}

QString TrafficWindow::Text(const char* key) const {
    return TextOf(texts::Traffic(), QString::fromLatin1(key), m_.LanguageIndex);
}

void TrafficWindow::ApplyLanguage() {
    ApplyTexts(this, texts::Traffic(), m_.LanguageIndex);
    ShowCounters();
}

void TrafficWindow::ShowCounters() {
    Counters->setText(Text("Counters")
                          .arg(log_.Exchanges())
                          .arg(log_.Failures())
                          .arg(QString::number(log_.MeanTurnaroundMs(), 'f', 1)));
}

bool TrafficWindow::Paused() const {
    return TrafficPause->isChecked();
}

void TrafficWindow::Refresh() {
    ShowCounters();
    if (Paused() || log_.Sequence() == next_) {
        return;
    }
    const QList<TrafficRecord> records = log_.Since(next_);
    next_ = log_.Sequence();
    if (records.isEmpty()) {
        return;
    }
    // One append for the whole batch: one layout and one repaint, whatever the count.
    QString batch;
    batch.reserve(records.size() * 120);
    for (const TrafficRecord& r : records) {
        if (!batch.isEmpty()) {
            batch += QLatin1Char('\n');
        }
        batch += TrafficLine(r, m_.LanguageIndex);
    }
    Lines->appendPlainText(batch);
    shownLines_ += quint64(records.size());
}

void TrafficWindow::Clear_Click() {
    log_.Clear();
    Lines->clear();
    next_ = log_.Sequence();
    Refresh();
}

void TrafficWindow::Save_Click() {
    if (saving_) {
        return;
    }
    // Runs on by itself; it looks whether the window is still there after each wait.
    SaveAsText();
}

QCoro::Task<> TrafficWindow::SaveAsText() {
    saving_ = true;
    QPointer<TrafficWindow> self(this);
    Prompter& prompter = prompter_;
    const QString proposed = QDir::home().filePath(Text("SaveName"));
    const QString path =
        co_await prompter.SaveFileName(this, Text("SaveTitle"), proposed, Text("SaveFilter"));
    if (!self) {
        co_return;
    }
    QString written;
    if (!path.isEmpty()) {
        // What the window shows, one exchange a line, CR LF at each end.
        QString text = Lines->toPlainText();
        if (!text.isEmpty()) {
            text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
            text += QStringLiteral("\r\n");
        }
        QSaveFile file(path);
        const QByteArray bytes = text.toUtf8();
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
            written = path;
        } else {
            const QString reason = file.errorString();
            co_await prompter.Message(this, Text("SaveFailedTitle"), Text("SaveFailed").arg(path, reason),
                                      MessageIcon::Exclamation);
            if (!self) {
                co_return;
            }
        }
    }
    saving_ = false;
    emit SaveFinished(written);
}
