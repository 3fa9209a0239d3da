// The weighing errors of a simulated scale, so that a verification with test weights can fail.

#include "pty.h"
#include "simulator.h"

#include <QStringList>

#include <cmath>

bool SimInstrument::ScaleErrors::parse(const QString& text, ScaleErrors& out, QString* error) {
    ScaleErrors parsed;
    const auto fail = [&](const QString& word) {
        if (error) {
            *error = QStringLiteral("a scale error is linear:PERCENT%, hysteresis:DIVISIONS or "
                                    "eccentric:DIVISIONS, several joined by \",\" (\"%1\")")
                         .arg(word);
        }
        return false;
    };
    for (const QString& word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString w = word.trimmed();
        if (w == QLatin1String("none")) {
            continue;
        }
        const QString name = w.section(QLatin1Char(':'), 0, 0);
        QString value = w.section(QLatin1Char(':'), 1);
        bool ok = false;
        if (name == QLatin1String("linear") && value.endsWith(QLatin1Char('%'))) {
            value.chop(1);
            parsed.linearPercent = value.toDouble(&ok);
            ok = ok && std::abs(parsed.linearPercent) <= 100;
        } else if (name == QLatin1String("hysteresis")) {
            parsed.hysteresis = value.toInt(&ok);
        } else if (name == QLatin1String("eccentric")) {
            parsed.eccentric = value.toInt(&ok);
        }
        if (!ok) {
            return fail(w);
        }
    }
    out = parsed;
    return true;
}

void SimInstrument::placeLoad(qint32 divisions, int position) {
    const bool down = placed_ && divisions < lastPlaced_;
    placed_ = true;
    lastPlaced_ = divisions;
    qint64 load = divisions + std::llround(double(divisions) * errors.linearPercent / 100.0);
    if (down) {
        load += errors.hysteresis;
    }
    if (position != 0) {
        load += errors.eccentric;
    }
    const qint32 before = loadSet_ ? loadGross_ : 0;
    settledLoad_ = qint32(load);
    settling_ = settleMs_ > 0;
    if (settling_) {
        setLoad((before + settledLoad_) / 2, (before + settledLoad_) / 2);
        unstableUntilNs_ = simNowNs() + qint64(settleMs_) * 1000000;
    } else {
        setLoad(settledLoad_, settledLoad_);
    }
}

void SimInstrument::settle() {
    if (settling_ && simNowNs() >= unstableUntilNs_) {
        settling_ = false;
        setLoad(settledLoad_, settledLoad_);
    }
}
