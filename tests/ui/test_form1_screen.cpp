// The main setup screen as it stands on the display: the window's height in and out of setup mode,
// captions that are neither cut nor wrapped in either language and at a larger font, markers and
// error labels that move nothing, lamp captions that follow their lamps, and Qt's own texts in the
// language of the screen.

#include "mainrig.h"

#include "uitestsupport.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

// Lets posted layout requests run.
void Settle() {
    uitest::RunFor(30);
}

QPoint WindowPos(QWidget* w) {
    return w->mapTo(w->window(), QPoint(0, 0));
}

// The labels and buttons on show in the window, with what is wrong with each: text cut (narrower or
// lower than its size hint) or wrapped onto a second line.
QStringList CutOrWrapped(QWidget* window) {
    QStringList faults;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) {
            continue;
        }
        const QSize hint = label->sizeHint();
        // A long caption may break onto two lines (so that the screen fits a small laptop), no more.
        const int lineSpacing = label->fontMetrics().lineSpacing();
        if (label->wordWrap() && (label->heightForWidth(label->width()) + lineSpacing / 2) / lineSpacing > 2) {
            faults << QStringLiteral("%1 wraps onto more than two lines").arg(label->objectName());
        }
        if (label->width() < hint.width() || label->height() < hint.height()) {
            faults << QStringLiteral("%1 %2x%3 < %4x%5")
                          .arg(label->objectName())
                          .arg(label->width())
                          .arg(label->height())
                          .arg(hint.width())
                          .arg(hint.height());
        }
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || button->text().isEmpty()) {
            continue;
        }
        const QSize hint = button->sizeHint();
        // The arrow buttons of tabs 5 and 6 are as narrow as their arrows allow; the others as their hint.
        const bool arrow = button->text().startsWith('<') || button->text().startsWith('>');
        if (button->width() < (arrow ? button->fontMetrics().horizontalAdvance(button->text()) + 8 : hint.width())) {
            faults << QStringLiteral("%1 %2 < %3")
                          .arg(button->objectName())
                          .arg(button->width())
                          .arg(hint.width());
        }
        // A button is as wide as its caption needs, give or take, never stretched across the page.
        if (qobject_cast<QPushButton*>(button) && button->width() > hint.width() * 3 / 2 + 20) {
            faults << QStringLiteral("%1 stretched to %2 (needs %3)")
                          .arg(button->objectName())
                          .arg(button->width())
                          .arg(hint.width());
        }
    }
    return faults;
}

} // namespace

class TestForm1Screen : public QObject {
    Q_OBJECT
private slots:
    // --- The window fits the mode it is in ----------------------------------------------------------
    void windowHeightFollowsTheMode_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Italian") << 0;
        QTest::newRow("English") << 1;
    }
    void windowHeightFollowsTheMode() {
        QFETCH(int, language);
        MainRig rig(1, language);
        Form1& f = *rig.form;
        Settle();
        const int monitoring = f.height();
        const QPoint setupButton = WindowPos(f.Command1);
        // Only the upper band is on the screen, at its own height.
        QVERIFY2(monitoring <= f.sizeHint().height() + 5,
                 qPrintable(QStringLiteral("%1 > %2").arg(monitoring).arg(f.sizeHint().height())));

        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(f.Command1, Qt::LeftButton);
            Settle();
            QVERIFY(rig.m.Fl_setup);
            QVERIFY(f.height() > monitoring + 100);
            QVERIFY(f.SSTab1->height() >= f.SSTab1->minimumSizeHint().height());
            QCOMPARE(WindowPos(f.Command1), setupButton);

            QTest::mouseClick(f.Command1, Qt::LeftButton);
            Settle();
            QVERIFY(!rig.m.Fl_setup);
            QCOMPARE(f.height(), monitoring);
            // The Setup button is where the user just clicked it.
            QCOMPARE(WindowPos(f.Command1), setupButton);
        }
    }

    // --- No caption is cut or wrapped past two lines; markers move nothing ------------------------------
    void captionsWhole_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("model");
        QTest::addColumn<double>("fontScale");
        for (double scale : {1.0, 1.25}) {
            for (int model : {1, 2}) {
                for (int language : {0, 1}) {
                    QTest::addRow("%s VXA%d font %d%%", language == 1 ? "English" : "Italian", model,
                                  int(scale * 100))
                        << language << model << scale;
                }
            }
        }
    }
    void captionsWhole() {
        QFETCH(int, language);
        QFETCH(int, model);
        QFETCH(double, fontScale);
        const QFont original = QApplication::font();
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * fontScale);
        QApplication::setFont(font);
        struct Restore {
            QFont font;
            ~Restore() { QApplication::setFont(font); }
        } restore{original};

        MainRig rig(model, language);
        Form1& f = *rig.form;
        Settle();
        QStringList faults = CutOrWrapped(&f);
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        Settle();
        for (int tab = 0; tab < f.SSTab1->count(); ++tab) {
            if (!f.SSTab1->isTabEnabled(tab)) {
                continue;
            }
            rig.ChooseTab(tab);
            if (tab == 6) {
                // The test panels with every control on show.
                for (QWidget* w : f.SSTab1->widget(tab)->findChildren<QWidget*>()) {
                    w->setVisible(true);
                }
            }
            Settle();
            for (const QString& fault : CutOrWrapped(&f)) {
                faults << QStringLiteral("tab %1: %2").arg(tab).arg(fault);
            }
        }
        faults.removeDuplicates();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // A marker or an error label that appears moves no field.
    void markersMoveNothing_data() {
        QTest::addColumn<int>("tab"); // -1: the upper band
        QTest::addColumn<QString>("group");
        QTest::newRow("set points") << -1 << "SetPoints";
        QTest::newRow("weight constants") << 0 << "WeightConstants";
        QTest::newRow("division") << 0 << "Division";
        QTest::newRow("operating mode") << 0 << "OperatingMode";
        QTest::newRow("weight parameters") << 2 << "WeightParameters";
        QTest::newRow("outputs") << 3 << "Outputs";
        QTest::newRow("serial") << 4 << "Serial";
        QTest::newRow("analog") << 5 << "Analog";
    }
    void markersMoveNothing() {
        QFETCH(int, tab);
        QFETCH(QString, group);
        MainRig rig(1, 1);
        Form1& f = *rig.form;
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        if (tab >= 0) {
            rig.ChooseTab(tab);
        }
        Settle();
        QList<QWidget*> fields;
        for (int i = 0; i < FieldCount; ++i) {
            if (QWidget* w = f.FieldWidget(Field(i)); w && w->isVisible()) {
                fields << w;
            }
        }
        QVERIFY(!fields.isEmpty());
        QList<QRect> before;
        for (QWidget* w : fields) {
            before << QRect(WindowPos(w), w->size());
        }
        GroupId id{};
        for (const ParameterGroup& g : Groups()) {
            if (QLatin1String(g.name) == group) {
                id = g.id;
            }
        }
        f.Marks().SetModified(id, true);
        f.Marks().SetError(id, true);
        Settle();
        for (int i = 0; i < fields.size(); ++i) {
            QCOMPARE(QRect(WindowPos(fields[i]), fields[i]->size()), before[i]);
        }
    }

    // --- Lamp captions follow their lamps from the start -------------------------------------------------
    void lampCaptionsFollowTheLamps() {
        MainRig rig;
        const char* const captions[] = {"Label2", "Label7", "Label8", "Label10"};
        const char* const shapes[] = {"Shape1", "Shape2", "Shape3", "Shape5"};
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(!rig.Get(captions[i])->isEnabled(), captions[i]);
            QCOMPARE(rig.Get<Shape>(shapes[i])->FillStyle(), Shape::Transparent);
        }
        // Lit by the instrument, then out again.
        rig.instrument->setStable(true);
        rig.Run();
        WAIT_VERIFY(rig.Get<Shape>("Shape5")->FillStyle() == Shape::Solid, 5000);
        QVERIFY(rig.Get("Label10")->isEnabled());
        QVERIFY(!rig.Get("Label8")->isEnabled());
        rig.instrument->setStable(false);
        WAIT_VERIFY(rig.Get<Shape>("Shape5")->FillStyle() == Shape::Transparent, 5000);
        QVERIFY(!rig.Get("Label10")->isEnabled());
    }

    // --- Qt's own texts in the language of the screen -------------------------------------------------
    void qtTextsInTheLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<QString>("paste");
        QTest::newRow("Italian") << 0 << "Annulla"
                                 << "Incolla";
        QTest::newRow("English") << 1 << "Cancel"
                                 << "Paste";
        QTest::newRow("Italian again") << 0 << "Annulla"
                                       << "Incolla";
    }
    void qtTextsInTheLanguage() {
        QFETCH(int, language);
        QFETCH(QString, cancel);
        QFETCH(QString, paste);
        MainRig rig(1, language);
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(u'&'), cancel);
        std::unique_ptr<QMenu> menu(rig.Edit(Field::Set1)->createStandardContextMenu());
        QStringList items;
        for (QAction* a : menu->actions()) {
            items << a->text().remove(u'&').section(u'\t', 0, 0);
        }
        QVERIFY2(items.contains(paste), qPrintable(items.join(u',')));
    }
};

QTEST_MAIN(TestForm1Screen)
#include "test_form1_screen.moc"
