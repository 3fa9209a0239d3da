#pragma once

// Reading the configuration into the parameter set: the block of the tab on show (lazily, once per
// period in setup mode), the division code and the operating mode, and the full read with retries
// that comes before a setup file is saved.

#include "session.h"

#include <QCoro/QCoroTask>

#include <functional>

class ConfigReader {
public:
    // `currentTab` tells which tab of SSTab1 is shown; `selectTab` shows a tab (the full read does).
    ConfigReader(Session& session, std::function<int()> currentTab, std::function<void(int)> selectTab);

    // Reads and decodes the block of the tab on show if it is due (TabRead(tab + 1) is 0, no write
    // pending, not tab 1 or 6). After a tab-0 block the division is forgotten and read again, then
    // the operating mode.
    QCoro::Task<> ReadTabBlock();
    // Reads register 0x1050 when DivisionStep of DeviceAddress is 0 and no write is pending; selects
    // the code in ValDiv (codes 0..14) and sets DivisionStep and DecimalCount.
    QCoro::Task<> ReadDivisionCode();
    // Reads register 0x1010 when no write is pending; values 0..2 select OpMode.
    QCoro::Task<> ReadOperatingMode();
    // Every tab's block with up to five attempts each (tabs 3 and 5 are skipped for model 2); sets
    // ReadAllOk: every block read, tab 0 included, with its division and (model 1) its operating mode,
    // and the set points known (model 1). Leaves the last tab read on show.
    QCoro::Task<> ReadAllConfiguration();
    // Told before each block of the full read: the block (1..count) and how many it reads.
    std::function<void(int block, int count)> onReadAllProgress;
    // The groups the last full read could not give, in group order (empty when ReadAllOk).
    const QList<GroupId>& FailedGroups() const { return failed_; }

    // The block of `tab`, if due (the full read's step, and a setup file's load before it writes the
    // analog output); a tab clicked while it waits for a reply does not change what it reads.
    QCoro::Task<> ReadBlockOfTab(int tab);

    static constexpr int ReadAllAttempts = 5;

private:
    Session& s_;
    std::function<int()> currentTab_;
    std::function<void(int)> selectTab_;
    bool opModeRead_ = false; // the last read of the operating mode was answered
    bool divisionRead_ = false; // the division was read since the full read began
    QList<GroupId> failed_;
};
