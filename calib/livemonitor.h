#pragma once

// The live state of the instrument in the upper band of the main setup screen: weight (net, gross or
// peak), the instrument's status texts, internal points, signal, set-points, inputs, relay outputs,
// the stable and net lamps, the software version, and the link error after three failed readings.
// Each reader is one step of the main loop and is skipped while a queued write waits for its echo.

#include "configreader.h"
#include "session.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

// What the upper band shows, mirrored by the screen. Texts and lamps signal only real changes, so the
// screen repaints a lamp only when it changes.
class MonitorDisplay : public QObject {
    Q_OBJECT
public:
    enum class Text { Peso, Punti, MilliV, Versione, Ingresso1, Ingresso2 };
    static constexpr int TextCount = 6;
    // The lamps of frame Frame1: Shape1 + Label2 (output 1), Shape2 + Label7 (output 2),
    // Shape3 + Label8 (net view), Shape5 + Label10 (stable).
    enum class Lamp { Output1, Output2, Net, Stable };
    static constexpr int LampCount = 4;

    using QObject::QObject;

    QString text(Text t) const { return texts_[static_cast<int>(t)]; }
    void setText(Text t, const QString& value);
    // On: solid fill (fill style 0) and label enabled; off: transparent (fill style 1), label disabled.
    bool lamp(Lamp l) const { return lamps_[static_cast<int>(l)]; }
    void setLamp(Lamp l, bool on);
    // How often each lamp was repainted (tests check that an unchanged lamp is left alone).
    int lampPaints(Lamp l) const { return paints_[static_cast<int>(l)]; }

signals:
    void textChanged(MonitorDisplay::Text t);
    void lampChanged(MonitorDisplay::Lamp l);

private:
    std::array<QString, TextCount> texts_;
    std::array<bool, LampCount> lamps_{};
    std::array<int, LampCount> paints_{};
};

// One reading of the weight on show: taken in the net and gross views by ReadWeight (a weight, or the
// instrument's status text instead of one), in the peak view by ReadPeak.
struct WeightReading {
    qint64 timeMs = 0;      // when it was read, milliseconds since the epoch (UTC)
    uint8_t view = 2;       // WeightView at the reading: 1 net, 2 gross, 3 peak
    bool hasWeight = false; // false: the instrument showed a status text instead of a weight
    QString number;         // the weight with the decimals of the division ("-24.0"); empty without one
    QString shown;          // the text of Peso, as shown (right-justified)
    bool stable = false;    // the status byte's stable bit at the reading
};

class LiveMonitor {
public:
    // Failed weight readings in a row after which the link error shows.
    static constexpr int LinkErrorThreshold = 3;

    LiveMonitor(Session& session, ConfigReader& reader, MonitorDisplay& display);

    // The steps of the main loop, in this order: ReadVersion, ReadWeight, ReadInputs, ReadSetpoints
    // (only while SetpointsRead is 0), ReadPeak (only in the peak view), ShowLinkState, ReadOutputs.
    // Each step checks its own condition (WritePending, SetpointsRead, WeightView, the version
    // shown), so the loop may call every one of them at each pass.
    QCoro::Task<> ReadVersion();
    QCoro::Task<> ReadWeight();
    QCoro::Task<> ReadInputs();
    QCoro::Task<> ReadSetpoints(); // into Set1 and Set2 of the parameter set
    QCoro::Task<> ReadPeak();
    QCoro::Task<> ShowLinkState();
    QCoro::Task<> ReadOutputs();
    // The monitor's share of one pass of the main setup screen, in the screen's order: the division
    // code, version, weight, inputs, the set points while unread, the peak in the peak view, the link
    // state, the outputs (the screen itself checks between the steps whether the user leaves).
    QCoro::Task<> Pass();

    // How many readings of the weight on show were taken so far, and the last of them: a pass that
    // leaves the count as it was read no weight (a write waiting for its echo, a failed reading,
    // offline editing).
    quint64 ReadingCount() const { return readings_; }
    const WeightReading& LastReading() const { return reading_; }

    // 1 when the last status byte said the weight is stable.
    uint8_t stabile = 0;
    // Net and gross counts of the last good reading (register x DivisionStep).
    int32_t NetCount = 0;
    int32_t GrossCount = 0;

    // Whether the weight shows the link error (failed readings in a row, no reset under way).
    bool ShowsLinkError() const;

private:
    void TakeReading(bool hasWeight, const QString& number);
    // The lamps: the outputs by the coils' bits, Stable by stabile, Net by the view.
    void ShowLamps(uint8_t coils);

    Session& s_;
    ConfigReader& reader_;
    MonitorDisplay& display_;
    WeightReading reading_;
    quint64 readings_ = 0;
};
