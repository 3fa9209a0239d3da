// The main setup screen at the keyboard: Enter on a button, the menus' access keys and shortcuts, the
// Help menu with its short help and About box, and the tooltips that name each field's range.

#include "form1.h"

#include "applytexts.h"
#include "prompter.h"
#include "settings.h"
#include "shortcuts.h"
#include "texts_help.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QTabWidget>

namespace {

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
    ApplyShortcuts(this);
    // Ctrl+Tab and Ctrl+Shift+Tab change tabs from anywhere in the screen, not only from within the tab
    // control (right after entering setup mode the focus is on the setup button).
    for (auto [key, step] :
         {std::pair{QKeySequence::NextChild, 1}, std::pair{QKeySequence::PreviousChild, -1}}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { StepTab(step); });
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
    ShowBox(this, context_.prompter, say("HelpTitle"),
            say("HelpText").arg(ShortcutLines(this, say("TabKeys"))));
}

void Form1::StepTab(int step) {
    if (!m_.Fl_setup) {
        return;
    }
    // The next tab that can be chosen, round the ends (a VXB skips the tabs it has not).
    const int count = SSTab1->count();
    for (int i = 1; i < count; ++i) {
        const int tab = ((SSTab1->currentIndex() + step * i) % count + count) % count;
        if (SSTab1->isTabEnabled(tab)) {
            SSTab1->setCurrentIndex(tab);
            return;
        }
    }
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
