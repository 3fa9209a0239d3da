#include "planthistory.h"

#include <QCoroProcess>
#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstring>

QStringList GitArguments(const char* words) {
    return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

namespace {

// git's own words, whatever the locale; no pager, no editor, no prompt ever waits for a person.
QProcessEnvironment GitEnvironment(bool giveIdentity) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    env.insert(QStringLiteral("GIT_PAGER"), QStringLiteral("cat"));
    env.insert(QStringLiteral("GIT_EDITOR"), QStringLiteral("true"));
    if (giveIdentity) {
        // A service user has no git identity of its own: the commits say who made them.
        const QString host =
            QHostInfo::localHostName().isEmpty() ? QStringLiteral("localhost") : QHostInfo::localHostName();
        for (const char* who : {"AUTHOR", "COMMITTER"}) {
            env.insert(QStringLiteral("GIT_%1_NAME").arg(QLatin1String(who)), QStringLiteral("quartel-cli"));
            env.insert(QStringLiteral("GIT_%1_EMAIL").arg(QLatin1String(who)),
                       QStringLiteral("quartel-cli@%1").arg(host));
        }
    }
    return env;
}

} // namespace

QString PlantHistory::Run::Reason(const QString& what) const {
    if (!started) {
        return QStringLiteral("%1: the git program could not be started (is git installed?)").arg(what);
    }
    QString text = QString::fromLocal8Bit(err).trimmed();
    if (text.isEmpty()) {
        text = QString::fromLocal8Bit(out).trimmed();
    }
    text.replace(QLatin1Char('\n'), QStringLiteral("; "));
    return QStringLiteral("%1: git failed (status %2)%3")
        .arg(what)
        .arg(exitCode)
        .arg(text.isEmpty() ? QString() : QStringLiteral(": ") + text);
}

QCoro::Task<PlantHistory::Run> PlantHistory::Git(const QStringList& arguments, const QByteArray& input) {
    Run run;
    QProcess git;
    git.setProcessEnvironment(GitEnvironment(needsIdentity_));
    git.setWorkingDirectory(dir_);
    run.started = co_await qCoro(git).start(QStringLiteral("git"), arguments);
    if (!run.started) {
        co_return run;
    }
    if (!input.isEmpty()) {
        git.write(input);
    }
    git.closeWriteChannel();
    if (!co_await qCoro(git).waitForFinished(GitTimeoutMs)) {
        git.kill();
        git.waitForFinished(1000);
        run.err = "git did not end in time";
        co_return run;
    }
    run.exitCode = git.exitStatus() == QProcess::NormalExit ? git.exitCode() : -1;
    run.out = git.readAllStandardOutput();
    run.err = git.readAllStandardError();
    co_return run;
}

QCoro::Task<QString> PlantHistory::Prepare() {
    const QFileInfo info(dir_);
    if (info.exists() && !info.isDir()) {
        co_return QStringLiteral("%1 is not a directory").arg(QDir::toNativeSeparators(dir_));
    }
    if (!info.exists() && !QDir().mkpath(dir_)) {
        co_return QStringLiteral("%1 cannot be made: %2")
            .arg(QDir::toNativeSeparators(dir_), QString::fromLocal8Bit(std::strerror(errno)));
    }
    // The repository of this very folder: a history inside another repository gets one of its own.
    if (!QFileInfo::exists(QDir(dir_).filePath(QStringLiteral(".git")))) {
        const Run init = co_await Git(GitArguments("init --quiet"));
        if (!init.started || init.exitCode != 0) {
            co_return init.Reason(QDir::toNativeSeparators(dir_));
        }
    }
    const Run email = co_await Git(GitArguments("config user.email"));
    if (!email.started) {
        co_return email.Reason(QDir::toNativeSeparators(dir_));
    }
    needsIdentity_ = email.exitCode != 0 || email.out.trimmed().isEmpty();
    co_return QString();
}

QCoro::Task<QString> PlantHistory::Commit(const QStringList& folders, const QString& message,
                                          bool& committed) {
    committed = false;
    const QString where = QDir::toNativeSeparators(dir_);
    QStringList add = GitArguments("add --all --");
    add += folders;
    const Run staged = co_await Git(add);
    if (!staged.started || staged.exitCode != 0) {
        co_return staged.Reason(where);
    }
    // Nothing staged: no commit.
    QStringList check = GitArguments("diff --cached --quiet --");
    check += folders;
    const Run changed = co_await Git(check);
    if (!changed.started || (changed.exitCode != 0 && changed.exitCode != 1)) {
        co_return changed.Reason(where);
    }
    if (changed.exitCode == 0) {
        co_return QString();
    }
    QStringList commit = GitArguments("commit --quiet --file=- --");
    commit += folders;
    const Run made = co_await Git(commit, message.toUtf8());
    if (!made.started || made.exitCode != 0) {
        co_return made.Reason(where);
    }
    committed = true;
    co_return QString();
}
