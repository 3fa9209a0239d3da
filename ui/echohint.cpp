#include "echohint.h"

#include "serial.h"
#include "texts.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

QLabel* AddEchoHint(QMainWindow* window, SerialLink* link, int languageIndex) {
    auto* hint = new QLabel(window);
    hint->setObjectName(QStringLiteral("EchoHint"));
    hint->setWordWrap(true);
    hint->hide();
    const auto show = [window, hint, languageIndex] {
        hint->setText(TextOf(texts::StartMessages(), u"EchoSuspected", languageIndex));
        window->statusBar()->addWidget(hint, 2);
        hint->show();
    };
    QObject::connect(link, &SerialLink::EchoSuspectedChanged, hint, show);
    if (link->EchoSuspected()) {
        show();
    }
    return hint;
}
