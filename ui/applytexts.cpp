#include "applytexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTranslator>
#include <QWidget>

#include <memory>

namespace {

void SetCaption(QObject* object, const QString& text) {
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
        group->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        edit->setText(text);
    } else if (auto* widget = qobject_cast<QWidget*>(object); widget && widget->isWindow()) {
        widget->setWindowTitle(text);
    }
}

// Qt's Italian catalogue, loaded once and installed while the language is Italian.
struct QtCatalogue {
    std::unique_ptr<QTranslator> translator;
    bool tried = false;
    bool installed = false;
};

QtCatalogue& Catalogue() {
    static QtCatalogue catalogue;
    return catalogue;
}

} // namespace

void ApplyTexts(QObject* root, TextTable table, int languageIndex) {
    for (const CaptionText& row : table) {
        const QString name = QString::fromLatin1(row.control);
        const QString text = QString::fromUtf8(IsEnglish(languageIndex) ? row.english : row.italian);
        if (root->objectName() == name) {
            SetCaption(root, text);
            continue;
        }
        // Menus and actions are children of the window too, so one search finds every kind.
        if (QObject* control = root->findChild<QObject*>(name)) {
            SetCaption(control, text);
        }
    }
}

void UseQtTexts(int languageIndex) {
    if (!QCoreApplication::instance()) {
        return;
    }
    QtCatalogue& c = Catalogue();
    const bool italian = !IsEnglish(languageIndex);
    if (italian && !c.tried) {
        c.tried = true;
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                             QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            c.translator = std::move(translator);
        }
    }
    if (!c.translator || italian == c.installed) {
        return;
    }
    c.installed = italian ? QCoreApplication::installTranslator(c.translator.get())
                          : !QCoreApplication::removeTranslator(c.translator.get());
}

QString WithoutMnemonic(const QString& caption) {
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i; // "&x" shows "x", "&&" shows "&"
        }
        plain += caption[i];
    }
    return plain;
}

QString WithMnemonic(const QString& caption, QChar key) {
    QString plain = WithoutMnemonic(caption);
    plain.replace(QLatin1Char('&'), QLatin1String("&&"));
    qsizetype at = plain.indexOf(key, 0, Qt::CaseSensitive);
    if (at < 0) {
        at = plain.indexOf(key, 0, Qt::CaseInsensitive);
    }
    if (at >= 0) {
        plain.insert(at, QLatin1Char('&'));
    }
    return plain;
}

void ApplyMnemonics(QObject* root, TextTable mnemonics, int languageIndex) {
    for (const CaptionText& row : mnemonics) {
        const QString key = QString::fromUtf8(IsEnglish(languageIndex) ? row.english : row.italian);
        QObject* control = root->findChild<QObject*>(QString::fromLatin1(row.control));
        if (key.isEmpty() || !control) {
            continue;
        }
        if (auto* menu = qobject_cast<QMenu*>(control)) {
            menu->setTitle(WithMnemonic(menu->title(), key[0]));
        } else if (auto* action = qobject_cast<QAction*>(control)) {
            action->setText(WithMnemonic(action->text(), key[0]));
        }
    }
}
