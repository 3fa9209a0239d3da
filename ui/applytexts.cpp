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
