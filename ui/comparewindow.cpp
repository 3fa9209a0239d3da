#include "comparewindow.h"

#include "applytexts.h"
#include "texts_compare.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CompareWindow::CompareWindow(const setupdiff::Comparison& comparison, const QString& path, int languageIndex,
                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CompareWindow"));
    const auto say = [languageIndex](const char* key) {
        return TextOf(texts::Compare(), QString::fromLatin1(key), languageIndex);
    };
    auto* layout = new QVBoxLayout(this);
    auto* file = new QLabel(QDir::toNativeSeparators(path), this);
    file->setObjectName(QStringLiteral("FilePath"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(file);
    if (!comparison.notCompared.isEmpty()) {
        auto* note = new QLabel(say("Model2"), this);
        note->setObjectName(QStringLiteral("Model2Note"));
        note->setWordWrap(true);
        layout->addWidget(note);
    }

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("Differences"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({say("Parameter"), say("Instrument"), say("File")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    QTreeWidgetItem* heading = nullptr;
    int tab = -2;
    for (const setupdiff::Difference& d : comparison.differences) {
        if (!heading || d.tab != tab) {
            tab = d.tab;
            heading = new QTreeWidgetItem(list_, {setupdiff::TabHeading(tab, languageIndex)});
            QFont bold = heading->font(0);
            bold.setBold(true);
            heading->setFont(0, bold);
            heading->setFirstColumnSpanned(true);
        }
        new QTreeWidgetItem(heading, {d.caption, d.first, d.second});
    }
    list_->expandAll();
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(list_, 1);

    auto* count = new QLabel(setupdiff::TextLines(comparison, languageIndex).last(), this);
    count->setObjectName(QStringLiteral("DifferenceCount"));
    layout->addWidget(count);

    auto* buttons = new QHBoxLayout;
    auto* load = new QPushButton(this);
    load->setObjectName(QStringLiteral("LoadButton"));
    auto* print = new QPushButton(this);
    print->setObjectName(QStringLiteral("PrintButton"));
    auto* close = new QPushButton(this);
    close->setObjectName(QStringLiteral("CloseButton"));
    buttons->addWidget(load);
    buttons->addStretch(1);
    buttons->addWidget(print);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(load, &QPushButton::clicked, this, [this] { done(LoadResult); });
    connect(print, &QPushButton::clicked, this, [this] { done(PrintResult); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    close->setDefault(true);

    ApplyTexts(this, texts::Compare(), languageIndex);
    resize(760, 420);
}
