#include "ui/ExportDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "design/Design.h"
#include "settings/SettingsStore.h"
#include "ui/FieldReader.h"
#include "ui/SaveTarget.h"
#include "ui/WaitCursor.h"

namespace {

template <typename Control>
Control* named(Control* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

/** "Caption (LOW to HIGH):", the range from the limits the export checks. */
QString rangeLabel(const char* caption, int low, int high)
{
    return QStringLiteral("%1 (%2 to %3):").arg(QLatin1String(caption)).arg(low).arg(high);
}

QLineEdit* field(const char* name, const QString& text)
{
    return named(new QLineEdit(text), name);
}

/** Radio buttons in one row and one group; the first checked unless another index is. */
QHBoxLayout* radioRow(QDialog* dialog, std::initializer_list<QRadioButton*> buttons, int checked)
{
    auto* row = new QHBoxLayout;
    auto* group = new QButtonGroup(dialog);
    int index = 0;
    for (QRadioButton* button : buttons) {
        group->addButton(button);
        row->addWidget(button);
        button->setChecked(index++ == checked);
    }
    return row;
}

/** OK (named as in the other dialogs) and Cancel under the form. */
void addButtons(QDialog* dialog, QFormLayout* form)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    form->addRow(buttons);
}

/**
 * The file to write, or empty when cancelled: asked again after a refused overwrite of a
 * write-protected file or of design's input, as Save As asks.
 */
QString chooseExportFile(QWidget* parent, const Design& design, const QString& title,
                         const QString& filter, const QString& suffix)
{
    for (;;) {
        QFileDialog dialog(parent, title);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({filter, QStringLiteral("All Files (*)")});
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        const QString path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
        if (mayWriteTo(parent, design, path)) {
            return path;
        }
    }
}

/** Tells why an export was not written, as Save As tells it. */
void showFailure(QWidget* parent, const QString& path, const SaveResult& saved)
{
    const QString what = saved.failure == SaveResult::Failure::Open
                             ? QStringLiteral("Cannot open file ")
                             : QStringLiteral("Cannot write file ");
    showMessage(parent, MessageKind::Exclamation,
                what + path + QStringLiteral(".\n") + QString::fromStdString(saved.error));
}

void exportWaveform(QWidget* window, const Design& design, SettingsStore& store)
{
    WaveformExportDialog dialog(window, loadWaveformExport(store));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const WaveformExport& request = dialog.request();
    storeWaveformExport(request, store);
    if (const std::string aliased = design.aliasingRefusal(request.points);
        !aliased.empty() &&
        showMessage(window, MessageKind::Question,
                    QString::fromStdString(aliased) + QStringLiteral("\nExport it all the same?"),
                    true) != QMessageBox::Yes) {
        return;
    }
    const bool text = request.layout == SampleLayout::Text;
    const QString path = chooseExportFile(
        window, design, QStringLiteral("Export Waveform for Instrument"),
        text ? QStringLiteral("Text Files (*.txt)") : QStringLiteral("CSV Files (*.csv)"),
        text ? QStringLiteral("txt") : QStringLiteral("csv"));
    if (path.isEmpty()) {
        return;
    }
    SaveResult saved;
    {
        const WaitCursor wait;
        saved = design.exportWaveform(path.toStdString(), request);
    }
    if (!saved.ok()) {
        showFailure(window, path, saved);
    }
}

void exportTable(QWidget* window, const Design& design, SettingsStore& store)
{
    TableExportDialog dialog(window, loadTableExport(store));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    storeTableExport(dialog.request(), store);
    const QString path =
        chooseExportFile(window, design, QStringLiteral("Export Harmonic Table"),
                         QStringLiteral("CSV Files (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty()) {
        return;
    }
    const SaveResult saved = design.exportTable(path.toStdString(), dialog.request());
    if (!saved.ok()) {
        showFailure(window, path, saved);
    }
}

}  // namespace

WaveformExportDialog::WaveformExportDialog(QWidget* parent, const WaveformExport& start)
    : QDialog(parent),
      m_request(start),
      m_points(field("pointsEdit", FieldReader::intText(start.points))),
      m_cycles(field("cyclesEdit", FieldReader::intText(start.cycles))),
      m_volts(field("voltsEdit", FieldReader::floatText(static_cast<float>(start.volts)))),
      m_bits(field("bitsEdit", FieldReader::intText(start.bits))),
      m_scales{named(new QRadioButton(QStringLiteral("&Percent")), "percentRadio"),
               named(new QRadioButton(QStringLiteral("&Normalized")), "normalizedRadio"),
               named(new QRadioButton(QStringLiteral("&Volts")), "voltsRadio"),
               named(new QRadioButton(QStringLiteral("C&odes")), "codesRadio")},
      m_peak(named(new QRadioButton(QStringLiteral("P&eak")), "peakRadio")),
      m_text(named(new QRadioButton(QStringLiteral("&Text (.txt)")), "textRadio"))
{
    setWindowTitle(QStringLiteral("Korvalin - Waveform for Instrument"));
    auto* form = new QFormLayout(this);
    form->addRow(rangeLabel("Points per c&ycle", kMinExportPoints, kMaxExportPoints), m_points);
    form->addRow(rangeLabel("&Cycles", kMinExportCycles, kMaxExportCycles), m_cycles);
    form->addRow(QStringLiteral("Scale:"),
                 radioRow(this, {m_scales[0], m_scales[1], m_scales[2], m_scales[3]},
                          static_cast<int>(start.scale)));
    auto* rms = named(new QRadioButton(QStringLiteral("&RMS")), "rmsRadio");
    form->addRow(QStringLiteral("Volts set the:"),
                 radioRow(this, {rms, m_peak}, start.level == VoltsLevel::Peak ? 1 : 0));
    form->addRow(QStringLiteral("Vo&lts:"), m_volts);
    form->addRow(rangeLabel("&Bits of the codes", kMinCodeBits, kMaxCodeBits), m_bits);
    auto* csv = named(new QRadioButton(QStringLiteral("C&SV (index,value)")), "csvRadio");
    form->addRow(QStringLiteral("Format:"),
                 radioRow(this, {csv, m_text}, start.layout == SampleLayout::Text ? 1 : 0));
    addButtons(this, form);
}

void WaveformExportDialog::accept()
{
    FieldReader fields(this);
    WaveformExport request = m_request;
    for (int i = 0; i < 4; ++i) {
        if (m_scales[i]->isChecked()) {
            request.scale = static_cast<SampleScale>(i);
        }
    }
    const auto points = fields.readInt(m_points, kMinExportPoints, kMaxExportPoints);
    if (!points) {
        return;
    }
    const auto cycles = fields.readInt(m_cycles, kMinExportCycles, kMaxExportCycles);
    if (!cycles) {
        return;
    }
    request.points = *points;
    request.cycles = *cycles;
    // The volts and bits count (and are checked) only for their own scale.
    if (request.scale == SampleScale::Volts) {
        const auto volts = fields.readFloat(m_volts, static_cast<float>(kMinExportVolts),
                                            static_cast<float>(kMaxExportVolts));
        if (!volts) {
            return;
        }
        request.volts = *volts;
    }
    if (request.scale == SampleScale::Codes) {
        const auto bits = fields.readInt(m_bits, kMinCodeBits, kMaxCodeBits);
        if (!bits) {
            return;
        }
        request.bits = *bits;
    }
    request.level = m_peak->isChecked() ? VoltsLevel::Peak : VoltsLevel::Rms;
    request.layout = m_text->isChecked() ? SampleLayout::Text : SampleLayout::Csv;
    m_request = request;
    QDialog::accept();
}

TableExportDialog::TableExportDialog(QWidget* parent, const TableExport& start)
    : QDialog(parent),
      m_sine(named(new QRadioButton(QStringLiteral("&Sine")), "sineRadio")),
      m_fundamental(named(new QRadioButton(QStringLiteral("&Fundamental")), "fundamentalRadio")),
      m_zero(named(new QCheckBox(QStringLiteral("Shift time so the fundamental is at &0\u00b0")),
                   "zeroPhaseCheck"))
{
    setWindowTitle(QStringLiteral("Korvalin - Harmonic Table"));
    auto* form = new QFormLayout(this);
    auto* cosine = named(new QRadioButton(QStringLiteral("&Cosine")), "cosineRadio");
    form->addRow(QStringLiteral("Basis:"),
                 radioRow(this, {m_sine, cosine}, start.basis == TableBasis::Sine ? 0 : 1));
    auto* harmonic = named(new QRadioButton(QStringLiteral("&Harmonic")), "harmonicRadio");
    form->addRow(QStringLiteral("Phase reference:"),
                 radioRow(this, {harmonic, m_fundamental},
                          start.reference == TableReference::Fundamental ? 1 : 0));
    m_zero->setChecked(start.zeroFundamentalPhase);
    form->addRow(m_zero);
    addButtons(this, form);
}

TableExport TableExportDialog::request() const
{
    return {m_sine->isChecked() ? TableBasis::Sine : TableBasis::Cosine,
            m_fundamental->isChecked() ? TableReference::Fundamental : TableReference::Harmonic,
            m_zero->isChecked()};
}

void addExportMenu(QMenu* fileMenu, QAction* before, QWidget* window, const Design& design,
                   SettingsStore& store)
{
    auto* menu = new QMenu(QStringLiteral("&Export"), fileMenu);
    menu->setObjectName(QStringLiteral("exportMenu"));
    fileMenu->insertMenu(before, menu);
    QAction* waveform = menu->addAction(QStringLiteral("&Waveform for Instrument\u2026"));
    waveform->setObjectName(QStringLiteral("exportWaveformAction"));
    QObject::connect(waveform, &QAction::triggered, window,
                     [window, &design, &store] { exportWaveform(window, design, store); });
    QAction* table = menu->addAction(QStringLiteral("&Harmonic Table\u2026"));
    table->setObjectName(QStringLiteral("exportTableAction"));
    QObject::connect(table, &QAction::triggered, window,
                     [window, &design, &store] { exportTable(window, design, store); });
}
