#include "trendcontrol.h"

#include "modulo1.h"
#include "prompter.h"
#include "texts_trend.h"
#include "trendpanel.h"
#include "viewsettings.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QStandardPaths>

#include <cmath>

TrendControl::TrendControl(Modulo1& m, const LiveMonitor& monitor, const MonitorDisplay& display,
                           Prompter& prompter, QString settingsDir, QMenu* menu, QWidget* screen)
    : QObject(screen), m_(m), monitor_(monitor), display_(display), prompter_(prompter),
      settingsDir_(std::move(settingsDir)), screen_(screen) {
    TrendItem = menu->addAction(QString());
    TrendItem->setObjectName(QStringLiteral("trend"));
    TrendItem->setCheckable(true);
    LogItem = menu->addAction(QString());
    LogItem->setObjectName(QStringLiteral("logFile"));
    LogItem->setCheckable(true);

    panel_ = new TrendPanel(trend_, screen);
    panel_->setVisible(false);
    // Without a settings directory (a screen built by a test) nothing is remembered.
    const settings::ViewSettings view =
        settingsDir_.isEmpty() ? settings::ViewSettings{} : settings::ReadViewIni(settingsDir_);
    panel_->SetWindowMinutes(view.trendWindowMinutes);
    TrendItem->setChecked(view.trendShown);
    panel_->setVisible(view.trendShown);

    connect(TrendItem, &QAction::toggled, this, &TrendControl::TrendItem_Toggled);
    connect(LogItem, &QAction::triggered, this, &TrendControl::LogItem_Triggered);
    connect(panel_, &TrendPanel::WindowChanged, this, [this] { SaveView(); });
    connect(panel_, &TrendPanel::ExportClicked, this, [this] {
        if (!busy_) {
            SavePicture(); // runs on by itself
        }
    });
}

TrendControl::~TrendControl() = default;

QString TrendControl::Text(const char* key) const {
    return TextOf(texts::Trend(), QString::fromLatin1(key), m_.LanguageIndex);
}

void TrendControl::ApplyLanguage(int languageIndex) {
    TrendItem->setText(TextOf(texts::Trend(), u"trend", languageIndex));
    LogItem->setText(TextOf(texts::Trend(), u"logFile", languageIndex));
    panel_->ApplyLanguage(languageIndex);
}

void TrendControl::AfterPass() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    trend_.AfterPass(trendReadings_.AfterPass(monitor_), now);
    const int decimals = m_.DecimalCount[m_.DeviceAddress];
    panel_->SetDivision(
        TrendDivision{decimals, m_.DivisionStep[m_.DeviceAddress] * std::pow(10.0, -decimals)});
    if (!log_.IsOpen()) {
        return;
    }
    if (const std::optional<WeightReading> reading = logReadings_.AfterPass(monitor_)) {
        if (!log_.Append(MakeWeightLogRow(*reading, display_, m_))) {
            LogItem->setChecked(false);
            EndLogWithMessage(); // runs on by itself
        }
    }
}

void TrendControl::Mark(TrendMarkKind kind) {
    trend_.AddMark(QDateTime::currentMSecsSinceEpoch(), kind);
}

void TrendControl::TrendItem_Toggled(bool shown) {
    panel_->setVisible(shown);
    SaveView();
}

void TrendControl::SaveView() {
    if (settingsDir_.isEmpty()) {
        return;
    }
    settings::ViewSettings view;
    view.trendShown = TrendItem->isChecked();
    view.trendWindowMinutes = panel_->WindowMinutes();
    settings::WriteViewIni(view, settingsDir_); // a settings directory that refuses it: not remembered
}

void TrendControl::LogItem_Triggered() {
    if (log_.IsOpen()) {
        log_.Close();
        LogItem->setChecked(false);
        emit LogEnded(QString());
        return;
    }
    // Checked only once a log runs.
    LogItem->setChecked(false);
    if (!busy_) {
        StartLog(); // runs on by itself
    }
}

QCoro::Task<> TrendControl::StartLog() {
    busy_ = true;
    QPointer<TrendControl> self(this);
    Prompter& prompter = prompter_;
    const QString proposed = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                 .filePath(WeightLogFileName(m_.DeviceAddress, QDate::currentDate()));
    const QString path =
        co_await prompter.SaveFileName(screen_, Text("LogTitle"), proposed, Text("LogFilter"));
    if (!self) {
        co_return;
    }
    if (!path.isEmpty()) {
        logReadings_.Skip(monitor_);
        if (log_.Open(path)) {
            LogItem->setChecked(true);
        } else {
            co_await prompter.Message(
                screen_, Text("LogFailedTitle"),
                Text("LogNotOpened").arg(QDir::toNativeSeparators(path), log_.ErrorString()),
                MessageIcon::Exclamation);
            if (!self) {
                co_return;
            }
        }
    }
    busy_ = false;
}

QCoro::Task<> TrendControl::EndLogWithMessage() {
    const QString reason = log_.ErrorString();
    emit LogEnded(reason);
    busy_ = true;
    QPointer<TrendControl> self(this);
    co_await prompter_.Message(
        screen_, Text("LogFailedTitle"),
        Text("LogFailed").arg(QDir::toNativeSeparators(log_.Path()), reason).arg(log_.Rows()),
        MessageIcon::Exclamation);
    if (self) {
        busy_ = false;
    }
}

QCoro::Task<> TrendControl::SavePicture() {
    busy_ = true;
    QPointer<TrendControl> self(this);
    Prompter& prompter = prompter_;
    const QString name = Text("ExportName")
                             .arg(m_.DeviceAddress, 2, 10, QLatin1Char('0'))
                             .arg(QDate::currentDate().toString(Qt::ISODate));
    const QString proposed =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
    const QString path =
        co_await prompter.SaveFileName(screen_, Text("ExportTitle"), proposed, Text("ExportFilter"));
    if (!self) {
        co_return;
    }
    QString saved;
    if (!path.isEmpty()) {
        if (panel_->Picture().save(path, "PNG")) {
            saved = path;
        } else {
            co_await prompter.Message(screen_, Text("LogFailedTitle"),
                                      Text("ExportFailed").arg(QDir::toNativeSeparators(path)),
                                      MessageIcon::Exclamation);
            if (!self) {
                co_return;
            }
        }
    }
    busy_ = false;
    emit PictureSaved(saved);
}
