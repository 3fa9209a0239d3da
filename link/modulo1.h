#pragma once

// The shared state of the utility. One object, owned by the Application and handed by reference to
// every screen and subsystem; there are no mutable globals, so each test starts from a fresh state.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// Per-address tables are indexed by the MODBUS address 0..100.
inline constexpr int AddressTableSize = 101;

struct Modulo1 {
    // --- Instrument being talked to and its per-address tables ---------------------------------
    uint8_t DeviceAddress = 1;
    std::array<uint8_t, AddressTableSize> DivisionStep{}; // 1, 2, 5, 10, 20, 50; 0 = not known
    std::array<uint8_t, AddressTableSize> DecimalCount{}; // 0..3
    std::array<uint8_t, AddressTableSize> ErrorCount{};   // failed polls in a row
    uint8_t StatusByte = 0;                               // last status byte (function 07)

    // --- Serial transaction ----------------------------------------------------------------------
    QByteArray FrameBuffer;    // the request before it is sent, then the reply (empty: none)
    uint8_t ReplyTimedOut = 0; // set to 1 by the reply timer's tick

    // --- Write queue of the main setup screen -----------------------------------------------------
    QByteArray PendingWriteA; // one complete request frame, or empty
    QByteArray PendingWriteB;
    bool WritePending = false; // pauses the periodic reads until the queued write is confirmed
    uint8_t WriteRetries = 0;  // failed attempts of the request of the slot being serviced

    // --- Settings from prog.ini --------------------------------------------------------------------
    int16_t StartReplyTimeoutMs = 0;
    int16_t MainReplyTimeoutMs = 0;
    int16_t PollDelayMs = 0;
    uint8_t CommPortNumber = 1;
    uint8_t HideLanguageMenu = 0;
    uint8_t LanguageIndex = 0; // 1 English, anything else Italian
    QStringList ProgIniLines;  // lines 1..3 exactly as read
    // From port.ini: a device chosen in the port dialog instead of the port number's (empty: the
    // number's), and whether the adapter echoes every request.
    QString ChosenDevice;
    bool LocalEcho = false;

    // --- Instrument model chosen on the start-up screen -------------------------------------------
    int16_t InstrumentModel = 1; // 1 = VXA, 2 = VXB
    QString InstrumentMenuCaption;

    // --- Configuration read and write ----------------------------------------------------------------
    std::array<uint8_t, 8> TabRead{}; // element tab + 1 is 1 once that tab's block was read
    bool ReadAllOk = false;
    bool OpModeWritten = false;

    // --- Setup mode, memory reset, exit --------------------------------------------------------------
    uint8_t MemoryResetRequest = 0;
    QString ResetCodeText;
    uint8_t RestartRequest = 0; // 0 none, 1 restart (0x0021), 2 store (0x0020)
    bool ExitSaveRequested = false;
    bool ExitResetRequested = false;

    // --- Live monitor, calibration, analog ------------------------------------------------------------
    uint8_t WeightView = 2; // 1 net, 2 gross, 3 peak
    uint8_t SetpointsRead = 0;
    uint8_t ResetInProgress = 0;
    uint8_t DatasheetAnswer = 0;
    uint8_t AnalogAdjustMode = 0;

    // --- Main setup screen flags -----------------------------------------------------------------------
    bool Fl_setup = false;
    bool OptionsMenuPending = false;
    uint8_t PendingFileAction = 0;
    bool OfflineEdit = false;
    QString ReportNotes;

    // Convenience accessors for the instrument in use.
    uint8_t& CurrentStep() { return DivisionStep[DeviceAddress]; }
    uint8_t& CurrentDecimals() { return DecimalCount[DeviceAddress]; }
    uint8_t CurrentStep() const { return DivisionStep[DeviceAddress]; }
    uint8_t CurrentDecimals() const { return DecimalCount[DeviceAddress]; }
};
