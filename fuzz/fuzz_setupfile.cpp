// A setup file as it may be found on a disk: any bytes. Reading never fails; a file that is taken puts
// a value into every field it can, and what is then written and read again leaves the fields as they
// are, for both instrument models. The bytes survive the Windows-1252 coding both ways, and the model
// file reader takes any bytes.

#include "setupfile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace setupfile;

namespace {
QStringList Snapshot(const ParameterSet& set) {
    QStringList out;
    for (const ParameterDef& p : Parameters()) {
        out << (p.kind == FieldKind::Text ? set.text(p.field) : QString::number(set.index(p.field)));
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (EncodeCp1252(DecodeCp1252(bytes)) != bytes) {
        std::abort();
    }
    (void)ParseModelFile(bytes);

    const Parsed parsed = ParseSetupFile(bytes);
    if ((parsed.error == ParseError::None) != (parsed.values.size() == LineCount)) {
        std::abort();
    }
    if (parsed.error != ParseError::None) {
        return 0;
    }
    for (int model : {1, 2}) {
        Modulo1 m;
        m.InstrumentModel = int16_t(model);
        ParameterSet set(m);
        set.reset();
        for (const LineDef& line : Lines()) {
            ApplyValue(set, line, parsed.values[line.line - 1], model);
        }
        const QStringList loaded = Snapshot(set);
        const Parsed again = ParseSetupFile(BuildSetupFile(set, model == 1 ? 1 : 0, model));
        if (again.error != ParseError::None) {
            std::abort();
        }
        for (const LineDef& line : Lines()) {
            ApplyValue(set, line, again.values[line.line - 1], model);
        }
        if (Snapshot(set) != loaded) {
            std::abort();
        }
    }
    return 0;
}
