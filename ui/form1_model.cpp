// What the setup screen shows must be what the instrument said: the model it answers as, and only the
// values of the groups it gave.

#include "form1.h"

#include "prompter.h"
#include "setupfile.h"
#include "texts.h"
#include "texts_form1.h"
#include "texts_help.h"

#include <QPointer>

namespace {
QString ModelCaption(int model, int languageIndex) {
    return TextOf(texts::Form2(), model == 2 ? u"vxb" : u"vxa", languageIndex);
}
} // namespace

bool Form1::ValueShown(Field field) const {
    return m_.OfflineEdit || set_.known(Parameter(field).group);
}

void Form1::ShowKnown(GroupId id) {
    for (const ParameterDef& p : ::Parameters()) {
        if (p.group == id) {
            ShowField(p.field);
        }
    }
}

void Form1::ShowAllFields() {
    for (int f = 0; f < FieldCount; ++f) {
        ShowField(static_cast<Field>(f));
    }
}

QString Form1::RegisterLimitTip(const QWidget* field, const QString& largest) const {
    const QString range = TextOf(texts::Tooltips(), field->objectName(), m_.LanguageIndex);
    if (largest.isEmpty()) {
        return range;
    }
    const QString limit = TextOf(texts::MainMessages(), u"LargestValue", m_.LanguageIndex).arg(largest);
    return range.isEmpty() ? limit : range + QLatin1Char('\n') + limit;
}

QCoro::Task<bool> Form1::CheckInstrumentModel() {
    // Asked before the first pass, and again only once the instrument answers the weight: a silent line
    // costs no extra time-out a pass. After a link error it is asked again (another instrument may
    // answer at the address now).
    if (passCount_ > 0 && m_.ErrorCount[m_.DeviceAddress] != 0) {
        co_return true;
    }
    bool answered = false;
    const int found = co_await session_.ProbeModel(&answered);
    // Asked once the instrument answers; an answer that tells no model leaves the selected one.
    modelKnown_ = answered;
    if (found == 0 || exitRequested_) {
        co_return true; // no evidence: the selected model stands
    }
    const int selected = m_.InstrumentModel;
    if (found == selected) {
        co_return true;
    }
    // The other model: nothing of this screen may reach it. The loop ends here, with nothing sent.
    QPointer<Form1> self(this);
    const int language = m_.LanguageIndex;
    const TextTable messages = texts::MainMessages();
    const QString text = TextOf(messages, u"ModelMismatch", language)
                             .arg(m_.DeviceAddress)
                             .arg(ModelCaption(selected, language), ModelCaption(found, language))
                             .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const int answer =
        co_await context_.prompter.Message(this, TextOf(messages, u"ModelMismatchTitle", language), text,
                                           MessageIcon::Exclamation, QMessageBox::Yes | QMessageBox::No);
    if (!self) {
        co_return false;
    }
    quietExit_ = true;
    if (answer == QMessageBox::Yes) {
        reopenAsModel_ = found;
    }
    co_return false;
}
