#include "note.h"

#include "applytexts.h"
#include "texts_report.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace {
// Wide enough for a line of notes; the text itself has no limit.
constexpr int Text1Chars = 60;
} // namespace

Note::Note(Modulo1& m, QWidget* parent) : QDialog(parent), m_(m) {
    setObjectName(QStringLiteral("Note"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);
    Text1 = new QLineEdit(this);
    Label1->setBuddy(Text1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaxLength(std::numeric_limits<int>::max());
    Text1->setMinimumWidth(QFontMetrics(Text1->font()).averageCharWidth() * Text1Chars);
    layout->addWidget(Text1);
    auto* buttons = new QHBoxLayout;
    OKButton = new QPushButton(this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    layout->addLayout(buttons);
    connect(OKButton, &QPushButton::clicked, this, &Note::OKButton_Click);
}

void Note::Form_Load() {
    ApplyTexts(this, texts::NoteDialog(), m_.LanguageIndex);
    Text1->setText(m_.ReportNotes);
}

void Note::OKButton_Click() {
    m_.ReportNotes = Text1->text();
    accept();
}
