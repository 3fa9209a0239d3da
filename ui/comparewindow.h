#pragma once

// The compare window of the main setup screen: the parameters in which the instrument (or the fields,
// when editing offline) and a setup file differ, grouped by tab, with a button that loads the file as
// the open item does and one that prints the list. It is a modal dialog shown through the Prompter; the
// button pressed is its result, and the screen's loop acts on it.

#include "setupdiff.h"

#include <QDialog>

class QTreeWidget;

class CompareWindow : public QDialog {
    Q_OBJECT
public:
    // The results besides QDialog::Rejected (closed).
    static constexpr int LoadResult = QDialog::Accepted;
    static constexpr int PrintResult = 2;

    CompareWindow(const setupdiff::Comparison& comparison, const QString& path, int languageIndex,
                  QWidget* parent = nullptr);

    // The list: one top-level item per tab (its heading), below it one row per parameter (caption,
    // instrument, file).
    QTreeWidget* Differences() const { return list_; }

private:
    QTreeWidget* list_ = nullptr;
};
