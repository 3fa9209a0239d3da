// The texts of the main setup screen and its dialogs in both languages, checked row by row against the
// expected texts of expected_form1_texts.h.

#include "expected_form1_texts.h"
#include "applytexts.h"
#include "texts_form1.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <iterator>

namespace {

struct NamedTables {
    const char* name;
    TextTable table;
    std::span<const ExpectedText> expected;
};

const NamedTables kTables[] = {
    {"MainScreen", texts::MainScreen(), ExpectedMainScreenTexts()},
    {"PasswordDialog", texts::PasswordDialog(), ExpectedPasswordDialogTexts()},
    {"SaveQuestion", texts::SaveQuestion(), ExpectedSaveQuestionTexts()},
    {"DatasheetQuestion", texts::DatasheetQuestion(), ExpectedDatasheetQuestionTexts()},
    {"MainMessages", texts::MainMessages(), ExpectedMainMessages()},
};

// LanguageIndex values and the language each one must show: only 1 is English.
struct Language {
    int index;
    bool english;
};
const Language kLanguages[] = {{0, false}, {1, true}, {2, false}, {255, false}};

} // namespace

class TestForm1Texts : public QObject {
    Q_OBJECT
private slots:
    // Every expected row, in every language, against the table.
    void textOfEveryRow_data();
    void textOfEveryRow();
    // The tables hold nothing but the expected rows, each once.
    void noOtherRows_data();
    void noOtherRows();
    // Keys follow the documented forms; the arrays are complete.
    void keysAreWellFormed();
    // Putting the texts on a screen: state keys touch no control, the after-load captions land.
    void applyToScreen_data();
    void applyToScreen();
};

void TestForm1Texts::textOfEveryRow_data() {
    QTest::addColumn<int>("tableIndex");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("languageIndex");
    QTest::addColumn<QString>("expected");
    for (int t = 0; t < int(std::size(kTables)); ++t) {
        for (const ExpectedText& row : kTables[t].expected) {
            for (const Language& language : kLanguages) {
                const QString text = (language.english ? row.english : row.italian).toString();
                QTest::addRow("%s %s lang %d", kTables[t].name, row.control, language.index)
                    << t << QString::fromLatin1(row.control) << language.index << text;
            }
        }
    }
}

void TestForm1Texts::textOfEveryRow() {
    QFETCH(int, tableIndex);
    QFETCH(QString, control);
    QFETCH(int, languageIndex);
    QFETCH(QString, expected);
    const TextTable table = kTables[tableIndex].table;
    QVERIFY2(HasText(table, control), qPrintable(control + QStringLiteral(" has no row")));
    QCOMPARE(TextOf(table, control, languageIndex), expected);
}

void TestForm1Texts::noOtherRows_data() {
    QTest::addColumn<int>("tableIndex");
    for (int t = 0; t < int(std::size(kTables)); ++t) {
        QTest::addRow("%s", kTables[t].name) << t;
    }
}

void TestForm1Texts::noOtherRows() {
    QFETCH(int, tableIndex);
    const NamedTables& tables = kTables[tableIndex];
    QSet<QString> expectedKeys;
    for (const ExpectedText& row : tables.expected) {
        expectedKeys.insert(QString::fromLatin1(row.control));
    }
    QSet<QString> seen;
    for (const CaptionText& row : tables.table) {
        const QString key = QString::fromLatin1(row.control);
        QVERIFY2(expectedKeys.contains(key), qPrintable(key + QStringLiteral(" is not expected")));
        QVERIFY2(!seen.contains(key), qPrintable(key + QStringLiteral(" appears twice")));
        seen.insert(key);
    }
    QCOMPARE(seen.size(), expectedKeys.size());
}

void TestForm1Texts::keysAreWellFormed() {
    QSet<int> tabs;
    QSet<int> mnemonics;
    for (const CaptionText& row : texts::MainScreen()) {
        const TextKey key = ParseTextKey(QString::fromLatin1(row.control));
        QVERIFY2(key.valid, row.control);
        if (key.index >= 0) {
            QVERIFY2(key.name == u"SSTab1" || key.name == u"lblAddText", row.control);
            (key.name == u"SSTab1" ? tabs : mnemonics).insert(key.index);
        }
        if (!key.state.isEmpty()) {
            static const QSet<QString> states = {
                QStringLiteral("Command1.off"), QStringLiteral("Command1.on"),
                QStringLiteral("Label1.net"),   QStringLiteral("Label1.gross"),
                QStringLiteral("Label1.peak"),  QStringLiteral("Label36.model2")};
            QVERIFY2(states.contains(QString::fromLatin1(row.control)), row.control);
        }
    }
    QCOMPARE(tabs.size(), 7);
    QVERIFY(*std::max_element(tabs.begin(), tabs.end()) == 6);
    QCOMPARE(mnemonics.size(), 30);
    QVERIFY(*std::max_element(mnemonics.begin(), mnemonics.end()) == 29);

    const TextKey tab = ParseTextKey(u"SSTab1(3)");
    QVERIFY(tab.valid && tab.name == u"SSTab1" && tab.index == 3 && tab.state.isEmpty());
    const TextKey state = ParseTextKey(u"Label36.model2");
    QVERIFY(state.valid && state.name == u"Label36" && state.index == -1 && state.state == u"model2");
    QVERIFY(!ParseTextKey(u"SSTab1 (3)").valid);
}

void TestForm1Texts::applyToScreen_data() {
    QTest::addColumn<int>("languageIndex");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label36");
    QTest::addColumn<QString>("label25");
    QTest::addColumn<QString>("menu");
    QTest::newRow("Italian") << 0 << QStringLiteral("  Peso Lordo")
                             << QStringLiteral(
                                    "Ritardo risposta in modalità SLAVE o MODBUS ( in 1/100 sec  max 1 sec)")
                             << QStringLiteral("Valore con cui viene confrontata la soglia")
                             << QStringLiteral("Opzioni");
    QTest::newRow("English") << 1 << QStringLiteral("Gross Weight")
                             << QStringLiteral(
                                    "Response delay (SLAVE or MODBUS mode only) (in 1/100 sec. max 1 sec.)")
                             << QStringLiteral("Operating mode") << QStringLiteral("Option");
}

void TestForm1Texts::applyToScreen() {
    QFETCH(int, languageIndex);
    QFETCH(QString, label1);
    QFETCH(QString, label36);
    QFETCH(QString, label25);
    QFETCH(QString, menu);
    QWidget form;
    form.setObjectName(QStringLiteral("Form1"));
    auto named = [](QObject* object, const char* name) {
        object->setObjectName(QString::fromLatin1(name));
        return object;
    };
    auto* label1Widget =
        static_cast<QLabel*>(named(new QLabel(QStringLiteral("Peso Lordo"), &form), "Label1"));
    auto* label36Widget = static_cast<QLabel*>(named(new QLabel(QStringLiteral("design"), &form), "Label36"));
    auto* label25Widget = static_cast<QLabel*>(named(new QLabel(&form), "Label25"));
    auto* command1 =
        static_cast<QPushButton*>(named(new QPushButton(QStringLiteral("design"), &form), "Command1"));
    auto* opz = static_cast<QMenu*>(named(new QMenu(&form), "opz"));

    ApplyTexts(&form, texts::MainScreen(), languageIndex);

    QCOMPARE(form.windowTitle(), QStringLiteral("Gestione Parametri e Setup Strumento Quartel"));
    QCOMPARE(label1Widget->text(), label1);
    QCOMPARE(label36Widget->text(), label36);
    QCOMPARE(label25Widget->text(), label25);
    QCOMPARE(opz->title(), menu);
    // "Command1.off" and "Command1.on" are no control's name: the screen sets Command1 itself.
    QCOMPARE(command1->text(), QStringLiteral("design"));
}

QTEST_MAIN(TestForm1Texts)
#include "test_form1_texts.moc"
