#pragma once

// The history of a plant's configurations: a git repository holding one folder per line with the
// setup files as `backup --all` writes them. The `git` program does the work, so that the history is
// an ordinary repository the user reads, pushes and restores from with git's own tools.

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

// The words of a git command line, separated by blanks ("commit --quiet"): a coroutine cannot hold a
// braced list of string literals (GCC 12).
QStringList GitArguments(const char* words);

class PlantHistory {
public:
    explicit PlantHistory(QString directory) : dir_(std::move(directory)) {}

    QString Directory() const { return dir_; }

    // Makes the folder (with its parents) and the repository in it when they are missing. The reason,
    // in English words of git or the system, when it cannot: empty when the history is ready.
    QCoro::Task<QString> Prepare();

    // Stages `folders` (relative to the repository) and commits them with `message` when anything in
    // them changed. `committed` says whether a commit was made; the reason is returned on a failure.
    QCoro::Task<QString> Commit(const QStringList& folders, const QString& message, bool& committed);

    // How long one git command may take.
    static constexpr int GitTimeoutMs = 120000;

    struct Run {
        bool started = false;
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
        QString Reason(const QString& what) const;
    };
    // Runs git in the repository's folder, with `input` on its standard input.
    QCoro::Task<Run> Git(const QStringList& arguments, const QByteArray& input = QByteArray());

private:
    QString dir_;
    bool needsIdentity_ = false; // no user.email is configured: a fixed identity is given
};
