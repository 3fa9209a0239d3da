#include "configreader.h"

#include "frame.h"
#include "registers.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {
// The tabs whose blocks the full read fetches, in order (tab 1, calibration, holds no block).
constexpr std::array<int, 5> ReadAllTabs{0, 2, 3, 4, 5};
// Tabs without a block of their own on model 2 (no set-point outputs, no analog output).
constexpr bool SkippedOnModel2(int tab) {
    return tab == 3 || tab == 5;
}
// Whether a group's block holds weights, which are decoded with the division.
bool HoldsWeights(const ParameterGroup& g) {
    return std::any_of(g.layout.begin(), g.layout.end(), [](const BlockItem& item) {
        return !item.modeWord && Parameter(item.field).encoding == Encoding::Weight;
    });
}
} // namespace

ConfigReader::ConfigReader(Session& session, std::function<int()> currentTab,
                           std::function<void(int)> selectTab)
    : s_(session), currentTab_(std::move(currentTab)), selectTab_(std::move(selectTab)) {}

QCoro::Task<> ConfigReader::ReadTabBlock() {
    co_await ReadBlockOfTab(currentTab_());
}

QCoro::Task<> ConfigReader::ReadBlockOfTab(int tab) {
    Modulo1& m = s_.m;
    const std::optional<GroupId> id = GroupOfTab(tab);
    if (!id || m.TabRead[static_cast<size_t>(tab + 1)] != 0 || m.WritePending) {
        co_return;
    }
    const ParameterGroup& g = Group(*id);
    if (HoldsWeights(g) && m.CurrentStep() == 0) {
        // Its weights are counts of divisions: without the division they would read as 0 (the tab-0
        // read forgets it, and its reading again may have failed). The block waits until it is known.
        co_await ReadDivisionCode();
        if (m.CurrentStep() == 0) {
            co_return;
        }
    }
    const std::optional<QByteArray> reply = co_await s_.Read(
        Fn::ReadHoldingRegisters, g.startRegister, static_cast<uint16_t>(ReadCount(*id)), Prefix::Block);
    if (!reply) {
        // Asked again at the next pass.
        co_return;
    }
    DecodeTabBlock(tab, *reply, s_.set, m);
    if (tab == 0) {
        // The constants decide the division: forget it and read it again, then the operating mode.
        // TabRead(1) is set only afterwards, so the operating mode put into OpMode is no edit.
        m.CurrentStep() = 0;
        co_await ReadDivisionCode();
        co_await ReadOperatingMode();
    }
    m.TabRead[static_cast<size_t>(tab + 1)] = 1;
}

QCoro::Task<> ConfigReader::ReadDivisionCode() {
    Modulo1& m = s_.m;
    if (m.CurrentStep() != 0 || m.WritePending) {
        co_return;
    }
    const uint8_t address = m.DeviceAddress;
    const std::optional<QByteArray> reply =
        co_await s_.Read(Fn::ReadHoldingRegisters, Reg::DivisionCode, 1, Prefix::DivisionCode);
    if (!reply) {
        // DivisionStep stays 0, so the next call asks again.
        co_return;
    }
    const int code = ReadRegisterSigned(*reply, 0);
    if (const std::optional<int> index =
            code >= 0 ? ListIndexFromRegister(Field::ValDiv, static_cast<unsigned>(code), m.InstrumentModel)
                      : std::nullopt) {
        s_.set.setIndex(Field::ValDiv, *index);
        s_.set.setKnown(GroupId::Division, true);
    }
    // After the list: while ValDiv changes the division is still unknown, so its change is no edit.
    // A code outside the table (negative ones included) leaves the division unknown.
    SetDivisionFromCode(m, address, code);
    divisionRead_ = m.DivisionStep[address] != 0;
}

QCoro::Task<> ConfigReader::ReadOperatingMode() {
    if (s_.m.WritePending) {
        co_return;
    }
    opModeRead_ = false;
    const std::optional<QByteArray> reply =
        co_await s_.Read(Fn::ReadHoldingRegisters, Reg::OperatingMode, 1, Prefix::OperatingMode);
    if (!reply) {
        co_return;
    }
    opModeRead_ = true;
    const int value = ReadRegisterSigned(*reply, 0);
    if (const std::optional<int> index =
            value >= 0
                ? ListIndexFromRegister(Field::OpMode, static_cast<unsigned>(value), s_.m.InstrumentModel)
                : std::nullopt) {
        s_.set.setIndex(Field::OpMode, *index);
        s_.set.setKnown(GroupId::OperatingMode, true);
    }
}

QCoro::Task<> ConfigReader::ReadAllConfiguration() {
    Modulo1& m = s_.m;
    m.ReadAllOk = true;
    for (size_t element = 1; element <= 6; ++element) {
        m.TabRead[element] = 0;
    }
    divisionRead_ = false;
    const int blocks = m.InstrumentModel == 2
                           ? int(std::count_if(ReadAllTabs.begin(), ReadAllTabs.end(),
                                               [](int tab) { return !SkippedOnModel2(tab); }))
                           : int(ReadAllTabs.size());
    int block = 0;
    for (const int tab : ReadAllTabs) {
        const size_t element = static_cast<size_t>(tab + 1);
        if (m.InstrumentModel == 2 && SkippedOnModel2(tab)) {
            m.TabRead[element] = 1;
            continue;
        }
        if (onReadAllProgress) {
            onReadAllProgress(++block, blocks);
        }
        if (selectTab_) {
            selectTab_(tab);
        }
        for (int attempt = 0; attempt < ReadAllAttempts && m.TabRead[element] == 0; ++attempt) {
            // A queued write waits: the queue sends it after the reads.
            m.WritePending = false;
            co_await ReadBlockOfTab(tab);
        }
    }
    // What a setup file would hold must all have come from the instrument: tab 0 too, with the division
    // and operating mode read with it, and the set points the live monitor reads.
    failed_.clear();
    for (const ParameterGroup& g : Groups()) {
        if (m.InstrumentModel == 2 && !g.model2) {
            continue;
        }
        bool read = true;
        switch (g.id) {
        case GroupId::Division:
            // Read by this full read itself (with tab 0), not known from earlier.
            read = m.CurrentStep() != 0 && divisionRead_;
            break;
        case GroupId::OperatingMode:
            read = m.TabRead[1] == 1 && opModeRead_;
            break;
        case GroupId::SetPoints:
            read = s_.set.known(g.id);
            break;
        default:
            read = m.TabRead[static_cast<size_t>(g.tabReadElement)] == 1;
            break;
        }
        if (!read) {
            failed_ << g.id;
        }
    }
    m.ReadAllOk = failed_.isEmpty();
}
