#include "demo.h"

#include "registers.h"
#include "settings.h"
#include "simulator.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace {
// Division codes of the two demo instruments: 0.01 steps on the VXA, whole units on the VXB.
constexpr quint16 VxaDivisionCode = 3;
constexpr quint16 VxbDivisionCode = 9;
constexpr int DriftIntervalMs = 700;
} // namespace

DemoLine::DemoLine(QObject* parent) : QObject(parent), sim_(std::make_unique<Simulator>()) {
    drift_.setInterval(DriftIntervalMs);
    connect(&drift_, &QTimer::timeout, this, &DemoLine::Drift);
}

DemoLine::~DemoLine() = default;

bool DemoLine::Start() {
    if (!sim_->open()) {
        return false;
    }
    SimInstrument* vxa = sim_->addInstrument(VxaAddress, SimInstrument::VXA);
    SimInstrument* vxb = sim_->addInstrument(VxbAddress, SimInstrument::VXB);
    vxa->setHolding(Reg::DivisionCode, VxaDivisionCode);
    vxb->setHolding(Reg::DivisionCode, VxbDivisionCode);
    vxa->setStored(Reg::DivisionCode, VxaDivisionCode);
    vxb->setStored(Reg::DivisionCode, VxbDivisionCode);
    sim_->setWireTime(true, 19200);
    Drift();
    drift_.start();
    return true;
}

QString DemoLine::DevicePath() const {
    return sim_->devicePath();
}

QString DemoLine::ErrorString() const {
    return sim_->errorString();
}

void DemoLine::Drift() {
    // A load that settles and moves again: a slow swing around 125.00 on the VXA and 740 on the VXB.
    ++step_;
    const double phase = step_ * 0.35;
    // Gross is net plus a dead load; the signal and the internal points follow the gross weight. The
    // instruments show the load through their own calibration, so a zero or a full scale holds.
    auto load = [](SimInstrument* i, qint32 net, qint32 deadLoad) {
        const qint32 gross = net + deadLoad;
        i->setLoad(net, gross);
        i->setSignal(gross / 10);
        i->setInternalPoints(quint32((131000 + gross * 4) * 16));
    };
    if (SimInstrument* vxa = sim_->instrument(VxaAddress)) {
        load(vxa, qint32(12500 + std::lround(180 * std::sin(phase))), 1500);
        vxa->setStable(step_ % 6 != 0);
    }
    if (SimInstrument* vxb = sim_->instrument(VxbAddress)) {
        load(vxb, qint32(740 + std::lround(6 * std::cos(phase * 0.7))), 60);
    }
}

bool DemoLine::PrepareSettings(const QString& dir) {
    if (QFileInfo::exists(QDir(dir).filePath(QLatin1String(settings::StrumIniName)))) {
        return true;
    }
    settings::InstrumentList list{};
    list[VxaAddress] = true;
    list[VxbAddress] = true;
    return settings::SaveInstrumentList(dir, list);
}
