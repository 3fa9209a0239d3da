#include "trafficwindow.h"

#include "applytexts.h"
#include "prompter.h"
#include "screencontext.h"
#include "texts_traffic.h"
#include "traffic.h"

#include <QAbstractListModel>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <deque>

// The lines of the window: at most `capacity` strings, the oldest dropped first.
class TrafficLines final : public QAbstractListModel {
public:
    TrafficLines(int capacity, QObject* parent)
        : QAbstractListModel(parent), capacity_(std::max(1, capacity)) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(lines_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(lines_.size())) {
            return {};
        }
        return lines_[size_t(index.row())];
    }

    void Append(QStringList batch) {
        if (batch.isEmpty()) {
            return;
        }
        if (batch.size() > capacity_) {
            batch = batch.mid(batch.size() - capacity_);
        }
        for (const QString& line : batch) {
            longest_ = std::max(longest_, int(line.size()));
        }
        const int overflow = int(lines_.size()) + int(batch.size()) - capacity_;
        if (overflow > 0) {
            beginRemoveRows(QModelIndex(), 0, overflow - 1);
            lines_.erase(lines_.begin(), lines_.begin() + overflow);
            endRemoveRows();
        }
        const int first = int(lines_.size());
        beginInsertRows(QModelIndex(), first, first + int(batch.size()) - 1);
        lines_.insert(lines_.end(), batch.begin(), batch.end());
        endInsertRows();
    }
    void Clear() {
        beginResetModel();
        lines_.clear();
        longest_ = 0;
        endResetModel();
    }
    QStringList Lines() const { return QStringList(lines_.begin(), lines_.end()); }
    int Capacity() const { return capacity_; }
    // Characters of the longest line held (the rows are as wide as it in a fixed-pitch font).
    int Longest() const { return longest_; }

private:
    int capacity_;
    int longest_ = 0;
    std::deque<QString> lines_;
};

namespace {
// Every row as wide as the longest line and one line high, so that the view needs to measure nothing.
class LineDelegate final : public QStyledItemDelegate {
public:
    LineDelegate(const TrafficLines& lines, QObject* parent) : QStyledItemDelegate(parent), lines_(lines) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const QFontMetrics& metrics = option.fontMetrics;
        return QSize(metrics.horizontalAdvance(QLatin1Char('M')) * (lines_.Longest() + 1),
                     metrics.height() + 2);
    }
    // The text on the plain background (or the selection's), without the style's item machinery, which
    // costs many times more than the text itself.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
        }
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(option.rect.adjusted(2, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }

private:
    const TrafficLines& lines_;
};
} // namespace

TrafficWindow::TrafficWindow(TrafficLog& log, const Modulo1& m, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), m_(m), prompter_(prompter) {
    setObjectName(QStringLiteral("TrafficWindow"));
    auto* layout = new QVBoxLayout(this);
    model_ = new TrafficLines(log.Capacity(), this);
    Lines = new QListView(this);
    Lines->setObjectName(QStringLiteral("Lines"));
    Lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Lines->setUniformItemSizes(true);
    Lines->setWordWrap(false);
    Lines->setTextElideMode(Qt::ElideNone);
    Lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Lines->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Lines->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Lines->setItemDelegate(new LineDelegate(*model_, Lines));
    Lines->setModel(model_);
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
    TrafficClose = new QPushButton(this);
    TrafficClose->setObjectName(QStringLiteral("TrafficClose"));
    buttons->addWidget(TrafficClose);
    layout->addLayout(buttons);
    connect(TrafficClose, &QPushButton::clicked, this, &QWidget::close);

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

void TrafficWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString TrafficWindow::Text(const char* key) const {
    return TextOf(texts::Traffic(), QString::fromLatin1(key), m_.LanguageIndex);
}

void TrafficWindow::ApplyLanguage() {
    language_ = m_.LanguageIndex;
    ApplyTexts(this, texts::Traffic(), m_.LanguageIndex);
    ShowCounters();
}

void TrafficWindow::ShowCounters() {
    Counters->setText(Text("TrafficCounters")
                          .arg(log_.Exchanges())
                          .arg(log_.Failures())
                          .arg(QString::number(log_.MeanTurnaroundMs(), 'f', 1)));
}

bool TrafficWindow::Paused() const {
    return TrafficPause->isChecked();
}

QStringList TrafficWindow::ShownLines() const {
    return model_->Lines();
}

void TrafficWindow::Refresh() {
    if (m_.LanguageIndex != language_) {
        ApplyLanguage(); // the language dialog of the start-up screen was used meanwhile
    }
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
    QStringList batch;
    batch.reserve(records.size());
    for (const TrafficRecord& r : records) {
        batch.append(TrafficLine(r, m_.LanguageIndex));
    }
    QScrollBar* bar = Lines->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    model_->Append(std::move(batch));
    if (atBottom) {
        Lines->scrollToBottom(); // follows the newest line unless the user scrolled up
    }
    shownLines_ += quint64(records.size());
}

void TrafficWindow::Clear_Click() {
    log_.Clear();
    model_->Clear();
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
    TrafficSave->setEnabled(false); // one save at a time
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
        // What the window holds, one exchange a line, CR LF at each end.
        QString text;
        for (const QString& line : model_->Lines()) {
            text += line + QStringLiteral("\r\n");
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
    TrafficSave->setEnabled(true);
    emit SaveFinished(written);
}

QAction* AddTrafficMenu(QMainWindow* screen, const ScreenContext& context, QMenu*& menu) {
    menu = screen->menuBar()->addMenu(QString());
    menu->setObjectName(QStringLiteral("vis"));
    QAction* traf = menu->addAction(QString());
    traf->setObjectName(QStringLiteral("traf"));
    traf->setEnabled(bool(context.showTraffic));
    QObject::connect(traf, &QAction::triggered, screen, [&context] {
        if (context.showTraffic) {
            context.showTraffic();
        }
    });
    return traf;
}
