#include "texts.h"

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

const CaptionText* Find(TextTable table, QStringView control) {
    for (const CaptionText& row : table) {
        if (QLatin1StringView(row.control) == control) {
            return &row;
        }
    }
    return nullptr;
}

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

// --- Start-up screen --------------------------------------------------------------------------------
constexpr CaptionText Form2Table[] = {
    {"Form2", "Programma di Comunicazione Seriale e Setup Strumento Quartel",
     "PESOMETRA Configuration utility"},
    {"Command1", "Esci dall'Applicazione", "Quit"},
    {"opz", "Opzioni", "Option"},
    {"pse", "Porta Seriale", "Serial Port"},
    {"Lin", "Lingua", "Language"},
    {"sel", "Selezione Strumento", "Select Instrument"},
    {"vxa", "VXA", "VXA"},
    {"vxb", "VXB", "VXB"},
};

constexpr CaptionText StartMessagesTable[] = {
    {"AttentionTitle", "Attenzione !!", "Attention !!"},
    {"PortNumberWrong", "Il numero della porta seriale é errato", "The number of serial port is wrong"},
    {"InstrumentError", " ERRORE", " ERROR"},
    // Check box captions: "Addr. " followed by the address.
    {"AddressPrefix", "Addr. ", "Addr. "},
    // Status line: which port the screen talks on, and an open that failed.
    {"PortStatus", "Porta COM%1: %2", "Port COM%1: %2"},
    {"PortMissing", "Porta COM%1: %2 non disponibile", "Port COM%1: %2 not available"},
    {"PortInvalid", "Numero della porta seriale errato", "Wrong serial port number"},
    // Settings files: one that could not be written (message box: file, reason), one that was not read
    // (status line: file, reason), and the reasons the program gives itself.
    {"SettingsNotWritten", "Impossibile scrivere il file %1:\n%2", "The file %1 could not be written:\n%2"},
    {"SettingsIgnored", "%1 ignorato (%2): valori predefiniti", "%1 ignored (%2): defaults in use"},
    {"NotRegularFile", "non è un file normale", "not a regular file"},
    {"FileTooLarge", "più grande di 64 KiB", "larger than 64 KiB"},
};

// --- Dialogs ----------------------------------------------------------------------------------------
constexpr CaptionText CommTable[] = {
    {"Comm", "Impostazione Numero COMM", "COMM Number"},
    {"Option1", "COM1", "COM1"},
    {"Option2", "COM2", "COM2"},
    {"Option3", "COM3", "COM3"},
    {"Option4", "COM4", "COM4"},
    {"Option5", "COM5", "COM5"},
    {"Option6", "COM6", "COM6"},
    {"OKButton", "OK", "OK"},
    {"CancelButton", "Annulla", "Cancel"},
};

constexpr CaptionText LingTable[] = {
    {"Ling", "Lingua", "Language"}, {"Option1", "Italiano", "Italian"},    {"Option2", "Inglese", "English"},
    {"OKButton", "OK", "OK"},       {"CancelButton", "Annulla", "Cancel"},
};

constexpr CaptionText FrmAboutTable[] = {
    {"frmAbout", "PESOMETRA", "PESOMETRA"},
    {"Label1", " WELCOME TO PESOMETRA™  !", " WELCOME TO PESOMETRA™  !"},
    {"Label2", "Configuration utility for the \"Quartel™\" Transmitters",
     "Configuration utility for the \"Quartel™\" Transmitters"},
    {"Version", "PC Software Version 3.2", "PC Software Version 3.2"},
};

} // namespace

QString TextOf(TextTable table, QStringView control, int languageIndex) {
    const CaptionText* row = Find(table, control);
    if (!row) {
        return {};
    }
    return QString::fromUtf8(IsEnglish(languageIndex) ? row->english : row->italian);
}

bool HasText(TextTable table, QStringView control) {
    return Find(table, control) != nullptr;
}

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

namespace texts {
TextTable Form2() {
    return Form2Table;
}
TextTable Comm() {
    return CommTable;
}
TextTable Ling() {
    return LingTable;
}
TextTable FrmAbout() {
    return FrmAboutTable;
}
TextTable StartMessages() {
    return StartMessagesTable;
}
} // namespace texts

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
