#pragma once

// Calibration of the instrument from the main setup screen: the zero setting (the unloaded scale), the
// full-scale setting with a sample weight, and the rules that tie them to the datasheet calibration
// (total capacity, net capacity and dead load typed from the load cells' data).
//
// A zero setting done while a weight is shown would move the zero away from the datasheet dead load,
// so the screen first asks whether the shown weight is to be carried over into the dead load
// (DatasheetAnswer). The question is asked by the screen's loop between two exchanges; the answer is
// carried out at the loop's step ApplyDatasheetAnswer, before slot A goes out.
//
// Handlers only change the parameter set or queue requests; the leave rules of the capacity fields
// only decide, the screen moves the focus.

#include "configwriter.h"
#include "livemonitor.h"
#include "session.h"

#include <QString>

#include <cstdint>
#include <functional>

class Calibration {
public:
    // Values of DatasheetAnswer.
    static constexpr uint8_t NothingPending = 0;
    static constexpr uint8_t ZeroDue = 1;       // queue the zero request at the next pass
    static constexpr uint8_t CarryOver = 10;    // "OK": carry the shown weight into the dead load
    static constexpr uint8_t WaitingPasses = 9; // after the constants were queued, count down to 1
    // The largest total capacity a load-cell set may have.
    static constexpr double MaxCapacity = 500000;

    // Registers the echo follow-ups of the sample weight ("060801", slot A) and of the full-scale
    // command ("060800", slot B). The zero command's echo in slot A belongs to the setup commands.
    Calibration(Session& session, ConfigWriter& writer, const MonitorDisplay& display);

    // --- Pure rules ----------------------------------------------------------------------------------
    // The weight on show as a whole number: the number in the weight text (blanks ignored, a text
    // without a number such as "ERROR" reads as 0), halves to the even neighbour (12.5 -> 12,
    // 13.5 -> 14).
    static double ShownWeight(const QString& pesoText);
    // Whether a zero setting with shown weight w and dead load T asks to carry w over into T: w > 0,
    // or w < 0 and w + T >= 0.
    static bool AsksDatasheetQuestion(double w, double deadLoad);
    // Whether the sample weight fits register 0x0801: its count of divisions is a whole number 0..65535
    // (the register keeps only the low 16 bits of a larger count, which would store a wrong span).
    static bool SampleWeightFits(const QString& text, const Modulo1& m);
    // A number as plain decimal text ("112", "-5", "12.5"): no exponent, no thousands separator.
    static QString PlainNumber(double value);

    // --- Zero setting --------------------------------------------------------------------------------
    // Command2 "->0<-". With nothing pending and a weight on show that the dead load can take, the
    // datasheet question is to be asked (QuestionPending); the zero request is queued once it is
    // answered. Otherwise the zero request is queued at once.
    void Command2_Click();
    bool QuestionPending() const { return questionPending_; }
    // The answer of the datasheet question modteor: CarryOver ("OK"), ZeroDue ("NO"), or
    // NothingPending when it was closed otherwise. Stores it in DatasheetAnswer and queues the zero
    // request, as the click does after the question.
    void DatasheetAnswered(uint8_t answer);
    // Main-loop step, once per pass before slot A is sent: 10 carries the shown weight into Teotara,
    // keeps Teonet within Capac - Teotara and queues the weight constants (then 9); 9..2 count down;
    // 1 queues the zero request (then 0).
    void ApplyDatasheetAnswer();
    // Sets WritePending and places the zero request (0x0800 := 0x0010) in slot A.
    void QueueZero();

    // --- Full-scale setting --------------------------------------------------------------------------
    // Command3 "Memorizza Taratura": the sample weight (0x0801) in slot A and the full-scale command
    // (0x0800 := 0x0011) in slot B. False, and nothing queued, when the sample weight does not fit its
    // register.
    bool Command3_Click(const QString& campione);
    // Leave rule of Campione: refused when it is no number with decimals (IsFieldNumber), above Capac
    // (when Capac > 0) and when it does not fit its register.
    bool Campione_MayLeave(const QString& campione) const;

    // --- Datasheet constants -------------------------------------------------------------------------
    // Command28 "Nuova Configurazione": net capacity and dead load back to "0"; the screen unlocks Capac.
    void Command28_Click();
    // Remembers the whole-number value of Capac.
    void Capac_GotFocus();
    enum class CapacLeave {
        Refused,   // above 500000: the focus goes back
        Unchanged, // left as it was: locked again
        Changed,   // a new capacity: the warning, then locked again
    };
    CapacLeave Capac_LostFocus() const;
    // The leave rules of the pair: true when the value may leave the field. While one of the two is
    // held (Net_Tara), leaving the other is not checked.
    bool Teonet_LostFocus();
    bool Teotara_LostFocus();
    // Whether the field selects its text on getting the focus (not while the other one is held).
    bool Teonet_GotFocus() const { return Net_Tara != TeotaraHeld; }
    bool Teotara_GotFocus() const { return Net_Tara != TeonetHeld; }

    // The screen's load: nothing remembered, nothing held, no question pending.
    void Reset();

    // Values of Net_Tara.
    static constexpr uint8_t PairConsistent = 0;
    static constexpr uint8_t TeonetHeld = 1;
    static constexpr uint8_t TeotaraHeld = 2;

    // Told each time a zero request (false) or a full-scale request (true) is queued (the trend marks
    // the moment).
    std::function<void(bool fullScale)> CommandQueued;

    long Old_Capac = 0;   // whole-number value of Capac when it got the focus
    uint8_t Net_Tara = 0; // PairConsistent, TeonetHeld or TeotaraHeld

private:
    double Number(Field field) const;
    bool PairFits() const;

    Session& s_;
    ConfigWriter& writer_;
    const MonitorDisplay& display_;
    bool questionPending_ = false;
};
