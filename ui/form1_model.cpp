// What the setup screen shows must be what the instrument said: the model it answers as, and only the
// values of the groups it gave.

#include "form1.h"

#include "prompter.h"
#include "setupfile.h"
#include "texts.h"
#include "texts_form1.h"

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

QCoro::Task<bool> Form1::CheckInstrumentModel() {
    // Asked before the first pass, and again only once the instrument answers the weight: a silent line
    // costs no extra time-out a pass.
    if (passCount_ > 0 && m_.ErrorCount[m_.DeviceAddress] != 0) {
        co_return true;
    }
    const int found = co_await session_.ProbeModel();
    if (found == 0 || exitRequested_) {
        co_return true; // no evidence: the selected model stands
    }
    modelKnown_ = true;
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

QCoro::Task<bool> Form1::ReportAllowed() {
    if (m_.OfflineEdit) {
        co_return true; // offline every field is the user's
    }
    const QList<GroupId> unknown = set_.unknownGroups();
    if (unknown.isEmpty()) {
        co_return true;
    }
    const int language = m_.LanguageIndex;
    co_await context_.prompter.Message(this, TextOf(texts::MainMessages(), u"ModelMismatchTitle", language),
                                       TextOf(texts::MainMessages(), u"PrintNotRead", language)
                                           .arg(setupfile::GroupNames(unknown, language))
                                           .replace(QLatin1Char('\r'), QLatin1Char('\n')),
                                       MessageIcon::Exclamation);
    co_return false;
}
