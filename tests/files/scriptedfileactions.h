#pragma once

// FileActions for tests without a screen: records every message and answers the dialogs with queued
// paths (an empty queue cancels).

#include "setupfile.h"

#include <QList>
#include <QStringList>

struct ScriptedFileActions final : FileActions {
    struct Shown {
        QString title;
        QString text;
        Icon icon;
    };
    QList<Shown> messages;
    QStringList openAnswers;
    QStringList saveAnswers;
    QStringList proposed; // names the save dialog proposed
    int dialogs = 0;
    int busyChanges = 0;
    bool busy = false;

    QCoro::Task<> Message(const QString& title, const QString& text, Icon icon) override {
        messages << Shown{title, text, icon};
        co_return;
    }
    QCoro::Task<QString> AskOpenFile() override {
        ++dialogs;
        co_return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QCoro::Task<QString> AskSaveFile(const QString& name) override {
        ++dialogs;
        proposed << name;
        co_return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    void Busy(bool on) override {
        busy = on;
        ++busyChanges;
    }
};
