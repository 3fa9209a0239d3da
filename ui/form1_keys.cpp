// The main setup screen at the keyboard: Enter on a button, the menus' access keys and shortcuts, the
// Help menu with its short help and About box, and the tooltips that name each field's range.

#include "form1.h"

#include "applytexts.h"
#include "prompter.h"
#include "settings.h"
#include "texts_help.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

const char* const ShortcutProperty = "quartelShortcut";

// Enter and keypad Enter press the button that has the focus, as Space does.
class EnterPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || !button->isEnabled() || !button->isVisible()) {
            return false;
        }
        if (!key->isAutoRepeat()) {
            button->click();
        }
        return true;
    }
};

// Shows a box of the Help menu; the screen may be gone by the time it is closed.
QCoro::Task<> ShowBox(QPointer<QWidget> parent, Prompter& prompter, QString title, QString text) {
    if (parent) {
        co_await prompter.Message(parent, title, text, MessageIcon::Information);
    }
}

} // namespace

void Form1::WireKeys() {
    aiuto = menuBar()->addMenu(QString());
    aiuto->setObjectName(QStringLiteral("aiuto"));
    guida = aiuto->addAction(QString());
    guida->setObjectName(QStringLiteral("guida"));
    about = aiuto->addAction(QString());
    about->setObjectName(QStringLiteral("about"));
    about->setMenuRole(QAction::AboutRole);
    connect(guida, &QAction::triggered, this, &Form1::Guida_Click);
    connect(about, &QAction::triggered, this, &Form1::About_Click);

    auto* enter = new EnterPresses(this);
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        button->installEventFilter(enter);
    }

    // Each shortcut goes with its item: a disabled item takes no key.
    const std::pair<QAction*, QKeySequence> keys[] = {
        {Ap, QKeySequence(Qt::CTRL | Qt::Key_O)},    {Sal, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {SConf, QKeySequence(Qt::CTRL | Qt::Key_P)}, {traf, QKeySequence(Qt::CTRL | Qt::Key_T)},
        {Esc, QKeySequence(Qt::CTRL | Qt::Key_Q)},   {guida, QKeySequence(Qt::Key_F1)}};
    for (auto [action, key] : keys) {
        action->setProperty(ShortcutProperty, key);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    // The menu opz is disabled as a whole in setup mode; the shortcuts of its items go with it.
    connect(opz->menuAction(), &QAction::enabledChanged, this, [this](bool enabled) {
        for (QAction* action : opz->actions()) {
            action->setShortcut(enabled ? action->property(ShortcutProperty).value<QKeySequence>()
                                        : QKeySequence());
        }
    });
}

void Form1::ApplyKeyTexts() {
    ApplyTexts(this, texts::Help(), m_.LanguageIndex);
    ApplyMnemonics(this, texts::Mnemonics(), m_.LanguageIndex);
    for (const CaptionText& row : texts::Tooltips()) {
        if (QWidget* w = Named(row.control)) {
            w->setToolTip(QString::fromUtf8(IsEnglish(m_.LanguageIndex) ? row.english : row.italian));
        }
    }
}

void Form1::Guida_Click() {
    const auto say = [this](const char* key) {
        return TextOf(texts::Help(), QString::fromLatin1(key), m_.LanguageIndex);
    };
    ShowBox(this, context_.prompter, say("HelpTitle"), say("HelpText"));
}

void Form1::About_Click() {
    const auto say = [this](const char* key) {
        return TextOf(texts::Help(), QString::fromLatin1(key), m_.LanguageIndex);
    };
    const QString dir =
        context_.settingsDir.isEmpty() ? settings::DefaultSettingsDirectory() : context_.settingsDir;
    ShowBox(this, context_.prompter, say("AboutTitle"),
            say("AboutText").arg(QCoreApplication::applicationVersion(), QDir::toNativeSeparators(dir)));
}
