#include "verificationwindow.h"

#include "certificaterender.h"
#include "texts_verify.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace verify;

namespace {

enum Column {
    ColNo,
    ColTest,
    ColLoad,
    ColPos,
    ColDelta,
    ColInd,
    ColErr,
    ColErrE,
    ColMpe,
    ColResult,
    ColCount
};

const char* const HeaderKeys[] = {"Customer",           "Site",        "ScaleId",   "Weights",
                                  "WeightsCertificate", "Temperature", "Technician"};

// The plot of the errors, drawn by the certificate's own painter.
class PlotWidget : public QWidget {
public:
    PlotWidget(const VerificationWindow& window, int language, QWidget* parent)
        : QWidget(parent), window_(window), language_(language) {
        setObjectName(QStringLiteral("Plot"));
        setMinimumSize(360, 180);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        PaintErrorPlot(p, QRectF(rect()).adjusted(4, 4, -4, -4), window_.Record(), language_);
    }

private:
    const VerificationWindow& window_;
    int language_;
};

} // namespace

VerificationWindow::VerificationWindow(const InstrumentSummary& instrument, const Scale& scale, int language,
                                       QWidget* parent)
    : QDialog(parent), language_(language), instrument_(instrument), scale_(scale) {
    setObjectName(QStringLiteral("VerificationWindow"));
    setWindowTitle(Text("VerificationWindow"));
    auto* layout = new QVBoxLayout(this);

    auto* fields = new QGridLayout;
    for (int i = 0; i < int(std::size(HeaderKeys)); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(HeaderKeys[i]));
        auto* label = new QLabel(Text(HeaderKeys[i]), this);
        label->setBuddy(edit);
        fields->addWidget(label, i / 2, (i % 2) * 2);
        fields->addWidget(edit, i / 2, (i % 2) * 2 + 1);
        header_ << edit;
    }
    layout->addLayout(fields);

    auto* scaleRow = new QHBoxLayout;
    const auto labelled = [&](const char* key, QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        auto* label = new QLabel(Text(key), this);
        label->setBuddy(w);
        scaleRow->addWidget(label);
        scaleRow->addWidget(w);
    };
    classBox_ = new QComboBox(this);
    for (AccuracyClass c : {AccuracyClass::I, AccuracyClass::II, AccuracyClass::III, AccuracyClass::IIII}) {
        classBox_->addItem(ClassName(c));
    }
    classBox_->setCurrentIndex(int(scale_.accuracy));
    labelled("ClassLabel", classBox_, "ClassBox");
    inspectionBox_ = new QComboBox(this);
    inspectionBox_->addItems({Text("Initial"), Text("InService")});
    inspectionBox_->setCurrentIndex(int(scale_.inspection));
    labelled("InspectionLabel", inspectionBox_, "InspectionBox");
    unitBox_ = new QComboBox(this);
    unitBox_->addItems(
        {UnitSymbol(WeightUnit::Gram), UnitSymbol(WeightUnit::Kilogram), UnitSymbol(WeightUnit::Tonne)});
    unitBox_->setCurrentIndex(int(scale_.unit));
    labelled("UnitLabel", unitBox_, "UnitBox");
    eEdit_ = new QLineEdit(scale_.e > 0 ? scale_.Format(scale_.e) : QString(), this);
    labelled("ELabel", eEdit_, "EEdit");
    maxEdit_ = new QLineEdit(scale_.max > 0 ? scale_.Format(scale_.max) : QString(), this);
    labelled("MaxLabel", maxEdit_, "MaxEdit");
    auto* newPlan = new QPushButton(Text("NewPlan"), this);
    newPlan->setObjectName(QStringLiteral("NewPlan"));
    newPlan->setAutoDefault(false);
    scaleRow->addWidget(newPlan);
    layout->addLayout(scaleRow);

    table_ = new QTableWidget(0, ColCount, this);
    table_->setObjectName(QStringLiteral("Plan"));
    table_->setHorizontalHeaderLabels({Text("HeadStep"), Text("HeadTest"), Text("HeadLoad"), Text("HeadPos"),
                                       Text("HeadDeltaL"), Text("HeadIndication"), Text("HeadError"),
                                       Text("HeadErrorE"), Text("HeadMpe"), Text("HeadResult")});
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 2);

    auto* stepRow = new QHBoxLayout;
    prompt_ = new QLabel(this);
    prompt_->setObjectName(QStringLiteral("Prompt"));
    QFont big = prompt_->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    prompt_->setFont(big);
    read_ = new QPushButton(Text("ReadButton"), this);
    read_->setObjectName(QStringLiteral("ReadButton"));
    read_->setDefault(true);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("StateLabel"));
    stepRow->addWidget(prompt_, 1);
    stepRow->addWidget(state_);
    stepRow->addWidget(read_);
    layout->addLayout(stepRow);

    plot_ = new PlotWidget(*this, language_, this);
    layout->addWidget(plot_, 1);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("Verdict"));
    verdict_->setFont(big);
    layout->addWidget(verdict_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (const auto& [key, signal] : {std::pair{"SaveButton", &VerificationWindow::SaveRequested},
                                      std::pair{"PrintButton", &VerificationWindow::PrintRequested}}) {
        auto* b = new QPushButton(Text(key), this);
        b->setObjectName(QString::fromLatin1(key));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, signal);
        buttons->addWidget(b);
    }
    auto* close = new QPushButton(Text("CloseButton"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(classBox_, &QComboBox::currentIndexChanged, this, &VerificationWindow::ScaleEdited);
    connect(inspectionBox_, &QComboBox::currentIndexChanged, this, &VerificationWindow::ScaleEdited);
    connect(unitBox_, &QComboBox::currentIndexChanged, this, &VerificationWindow::ScaleEdited);
    connect(eEdit_, &QLineEdit::editingFinished, this, &VerificationWindow::ScaleEdited);
    connect(maxEdit_, &QLineEdit::editingFinished, this, &VerificationWindow::ScaleEdited);
    connect(newPlan, &QPushButton::clicked, this, &VerificationWindow::NewPlan);
    connect(read_, &QPushButton::clicked, this, &VerificationWindow::Read_Click);
    connect(table_, &QTableWidget::cellChanged, this, &VerificationWindow::CellEdited);
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!filling_ && !waiting_ && row >= 0 && row < plan_.size()) {
            current_ = row; // a step can be read again
            ShowStep();
        }
    });
    NewPlan();
    resize(820, 760);
}

QString VerificationWindow::Text(const char* key) const {
    return TextOf(texts::Verification(), QString::fromLatin1(key), language_);
}

void VerificationWindow::ScaleEdited() {
    scale_.accuracy = AccuracyClass(classBox_->currentIndex());
    scale_.inspection = Inspection(inspectionBox_->currentIndex());
    scale_.unit = WeightUnit(unitBox_->currentIndex());
    bool ok = false;
    const double e = eEdit_->text().toDouble(&ok);
    if (ok && e > 0) {
        scale_.e = e;
        const qsizetype dot = eEdit_->text().indexOf(QLatin1Char('.'));
        scale_.decimals = dot < 0 ? 0 : int(eEdit_->text().trimmed().size() - dot - 1);
    }
    const double max = maxEdit_->text().toDouble(&ok);
    scale_.max = ok && max > 0 ? max : 0;
    FillTable();
}

void VerificationWindow::NewPlan() {
    ScaleEdited();
    plan_ = MakePlan(scale_);
    readings_ = QList<Reading>(plan_.size());
    current_ = 0;
    FillTable();
}

void VerificationWindow::FillTable() {
    filling_ = true;
    table_->setRowCount(int(plan_.size()));
    for (int row = 0; row < plan_.size(); ++row) {
        FillRow(row);
    }
    filling_ = false;
    ShowStep();
}

void VerificationWindow::FillRow(int row) {
    const bool was = filling_;
    filling_ = true;
    const Outcome out = Judged();
    const Step& step = plan_[row];
    const StepResult& r = out.steps[row];
    const Reading& reading = readings_[row];
    const auto cell = [&](int column, const QString& text, bool editable) {
        auto* item = new QTableWidgetItem(text);
        item->setFlags(editable ? item->flags() | Qt::ItemIsEditable : item->flags() & ~Qt::ItemIsEditable);
        item->setTextAlignment(column == ColTest || column == ColResult ? Qt::AlignLeft | Qt::AlignVCenter
                                                                        : Qt::AlignRight | Qt::AlignVCenter);
        if (column == ColResult && r.judged && !r.pass) {
            item->setForeground(Qt::red);
        }
        table_->setItem(row, column, item);
    };
    cell(ColNo, QString::number(row + 1), false);
    cell(ColTest, StepName(step, language_), false);
    cell(ColLoad, scale_.Format(step.load), true);
    const bool eccentric = step.kind == TestKind::Eccentricity;
    cell(ColPos,
         eccentric ? (step.position == 0 ? Text("Centre") : QString::number(step.position)) : QString(),
         eccentric);
    cell(ColDelta, reading.deltaL ? QString::number(*reading.deltaL) : QString(), true);
    cell(ColInd, r.judged ? scale_.Format(reading.indication) : QString(), false);
    cell(ColErr, r.judged ? SignedText(r.error, scale_.decimals + 1) : QString(), false);
    cell(ColErrE, r.judged ? SignedText(r.errorInE, 2) : QString(), false);
    cell(ColMpe, QString::number(r.mpe, 'f', scale_.decimals + 1), false);
    cell(ColResult, !r.judged ? QString() : r.pass ? Text("Pass") : Text("Fail"), false);
    filling_ = was;
}

void VerificationWindow::CellEdited(int row, int column) {
    if (filling_ || row < 0 || row >= plan_.size()) {
        return;
    }
    const QString text = table_->item(row, column)->text().trimmed();
    bool ok = false;
    if (column == ColLoad) {
        const double load = text.toDouble(&ok);
        if (ok && load >= 0) {
            plan_[row].load = load;
            readings_[row] = Reading{}; // a reading of another load says nothing of this one
        }
    } else if (column == ColPos) {
        const int position = text == Text("Centre") ? 0 : text.toInt(&ok);
        if ((ok || text == Text("Centre")) && position >= 0 && position <= 4) {
            plan_[row].position = position;
        }
    } else if (column == ColDelta) {
        const double delta = text.toDouble(&ok);
        readings_[row].deltaL = ok && !text.isEmpty() ? std::optional<double>(delta) : std::nullopt;
    }
    // The error at zero corrects every other step: all rows again.
    FillTable();
}

Outcome VerificationWindow::Judged() const {
    return Judge(scale_, plan_, readings_);
}

VerificationRecord VerificationWindow::Record() const {
    VerificationRecord rec;
    CertificateHeader& h = rec.header;
    QString* fields[] = {&h.customer,           &h.site,        &h.scale,     &h.weights,
                         &h.weightsCertificate, &h.temperature, &h.technician};
    for (int i = 0; i < header_.size(); ++i) {
        *fields[i] = header_[i]->text();
    }
    rec.instrument = instrument_;
    rec.scale = scale_;
    rec.plan = plan_;
    rec.readings = readings_;
    rec.date = QDate::currentDate();
    return rec;
}

void VerificationWindow::ShowStep() {
    const bool valid = current_ >= 0 && current_ < plan_.size();
    if (valid) {
        const Step& step = plan_[current_];
        const QString load = scale_.Format(step.load) + QLatin1Char(' ') + UnitSymbol(scale_.unit);
        prompt_->setText(QStringLiteral("%1. ").arg(current_ + 1) +
                         (step.kind == TestKind::Eccentricity
                              ? Text("PlaceAt").arg(load, step.position == 0 ? Text("Centre")
                                                                             : QString::number(step.position))
                              : Text("Place").arg(load)));
        filling_ = true;
        table_->selectRow(current_);
        filling_ = false;
    } else {
        prompt_->setText(plan_.isEmpty() ? QString() : Text("AllRead"));
    }
    read_->setEnabled(valid && readAllowed_ && !waiting_ && scale_.e > 0);
    const Outcome out = Judged();
    QString verdict = Text(out.verdict == Verdict::Pass   ? "VerdictPass"
                           : out.verdict == Verdict::Fail ? "VerdictFail"
                                                          : "VerdictIncomplete");
    if (!out.failed.isEmpty()) {
        QStringList steps;
        for (int i : out.failed) {
            steps << QString::number(i + 1);
        }
        verdict += QStringLiteral(" - ") + Text("FailedSteps").arg(steps.join(QStringLiteral(", ")));
    }
    verdict_->setText(verdict);
    plot_->update();
}

void VerificationWindow::Read_Click() {
    if (waiting_ || !readAllowed_ || current_ < 0 || current_ >= plan_.size()) {
        return;
    }
    waiting_ = true;
    state_->setText(Text("Waiting"));
    read_->setEnabled(false);
    emit ReadRequested();
}

void VerificationWindow::TakeReading(double indication) {
    if (!waiting_) {
        return;
    }
    waiting_ = false;
    state_->clear();
    readings_[current_].taken = true;
    readings_[current_].indication = indication;
    // On to the next step not read yet, after this one.
    int next = current_ + 1;
    while (next < plan_.size() && readings_[next].taken) {
        ++next;
    }
    current_ = next;
    FillTable(); // the error at zero may correct the others
}

void VerificationWindow::ReadTimedOut(int seconds) {
    waiting_ = false;
    state_->setText(Text("WindowNoStable").arg(seconds));
    ShowStep();
}

void VerificationWindow::SetReadAllowed(bool allowed) {
    if (allowed != readAllowed_) {
        readAllowed_ = allowed;
        ShowStep();
    }
}
