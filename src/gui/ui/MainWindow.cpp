#include "ui/MainWindow.h"

#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QTextLayout>

#include "charts/ChartPicture.h"
#include "design/SliderScale.h"
#include "fft/Optimize.h"
#include "files/MaskFile.h"
#include "settings/SettingsStore.h"
#include "ui/AboutDialog.h"
#include "ui/BackgroundWork.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/CheckReportDialog.h"
#include "ui/CurrentDialog.h"
#include "ui/ExportDialogs.h"
#include "ui/FieldReader.h"
#include "ui/FormUnits.h"
#include "ui/HarmonicListModel.h"
#include "ui/ListColumn.h"
#include "ui/OptimizingDialog.h"
#include "ui/SaveTarget.h"
#include "ui/WaitCursor.h"
#include "ui_MainWindow.h"

namespace {

constexpr int kChartGap = 16;  // between the middle row and each chart
constexpr int kEdgeGap = 10;   // between the charts and the right and bottom edges
constexpr int kStartPauseMs = 2000;
/** Save Image As draws both charts at this size, in pixels. */
constexpr QSize kPictureSize(1000, 700);
/** What the menu items of the limit masks carry besides a built-in mask's name. */
constexpr auto kNoMask = "none";
constexpr auto kMaskFile = "file";
constexpr auto kIeee519Prefix = "ieee519";
/** The current Class A starts with before one was entered, in A. */
constexpr double kDefaultFundamentalCurrent = 16.0;
/** The share of its default size, each way, the window may shrink to: smaller shows too little. */
constexpr qreal kSmallestShare = 0.5;
/** How much of a window's top edge, where its title bar joins it, must lie on a screen. */
constexpr int kGripWidth = 100;
constexpr int kGripHeight = 20;

/** Whether a window with this client rectangle has its top edge on area, enough to take hold of. */
bool topEdgeOn(const QRect& area, const QRect& window)
{
    // In 64 bits: a damaged geometry may put the window anywhere an int reaches.
    const qint64 overlap =
        std::min(qint64{window.left()} + window.width(), qint64{area.left()} + area.width()) -
        std::max(window.left(), area.left());
    return overlap >= kGripWidth && window.top() >= area.top() &&
           qint64{window.top()} + kGripHeight <= qint64{area.top()} + area.height();
}

/**
 * Whether the stored geometry (of saveGeometry) gives a window that can be seen and used: at
 * least minimum, no larger than a screen's available area, and its top edge on that screen. It
 * is tried on a stand-in of the same size that is never shown, as its format is Qt's own.
 */
bool isUsableGeometry(const QByteArray& stored, const QSize& size, const QSize& minimum)
{
    QWidget trial;
    trial.resize(size);
    if (!trial.restoreGeometry(stored)) {
        return false;
    }
    const QRect window = trial.normalGeometry();  // also of a window restored maximized
    if (window.width() < minimum.width() || window.height() < minimum.height()) {
        return false;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&window](const QScreen* screen) {
        const QRect area = screen->availableGeometry();
        return window.width() <= area.width() && window.height() <= area.height() &&
               topEdgeOn(area, window);
    });
}

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

/** The text a child shows, for the re-centering rule of the middle row. */
QString textOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    return {};
}

bool isMiddleRowControl(const QWidget* widget)
{
    const QString text = textOf(widget);
    return text == QLatin1String("View FFT Calculations") || text == QLatin1String("Waveform:") ||
           text == QLatin1String("FFT Window:") || text.contains(QLatin1String("Cycle"));
}

}  // namespace

// The images live in a static library, whose resource initialiser the linker would drop.
// Outside any namespace: Q_INIT_RESOURCE declares the initialiser where it stands.
static void loadResources()
{
    Q_INIT_RESOURCE(resources);
}

MainWindow::MainWindow(SettingsStore& store, PauseFunction pause, PlanRigor rigor, QWidget* parent)
    : QMainWindow(parent),
      m_ui(std::make_unique<Ui::MainWindow>()),
      m_store(store),
      m_pause(std::move(pause)),
      m_design(std::make_unique<Design>(rigor))
{
    loadResources();
    m_ui->setupUi(this);
    placeFromFormUnits(this, m_ui->centralWidget);
    const QSize client = FormUnits(font()).toPixels(property("formSize").toSize());
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    setMinimumSize(size() * kSmallestShare);
    m_defaultClientHeight = client.height();
    m_ui->centralWidget->installEventFilter(this);

    m_listModel = new HarmonicListModel(m_design->table(), this);
    m_design->setTableListener(m_listModel);
    setUpReportList(m_ui->harmonicList, m_listModel);
    m_ui->harmonicList->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_listModel, &HarmonicListModel::rowSelected, this, &MainWindow::selectListRow);
    connectCommands();
    addImportCaptureItem();
    setUpShortcuts();
    setUpQualityTooltips();
    setUpMaskMenu();
    const QList<QAction*> fileItems = m_ui->fileMenu->actions();  // Export right after Save As
    addExportMenu(m_ui->fileMenu, fileItems.value(fileItems.indexOf(m_ui->saveAsAction) + 1), this,
                  *m_design, m_store);
    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // The application outlives the window: no more focus notices once the design is gone.
    disconnect(qApp, nullptr, this, nullptr);
    m_design->stopPlanning();  // the window is gone already; the wisdom keeps what it measured
    Design::storeWisdom(m_store);
    m_design->discardPlan();
    m_design->storeSettings(m_store);
    m_store.flush();
    // The list model goes before the table it shows: the view may still ask it for rows
    // while the window's children are torn down.
    m_design->setTableListener(nullptr);
    delete m_listModel;
    m_listModel = nullptr;
}

void MainWindow::connectCommands()
{
    connect(m_ui->newAction, &QAction::triggered, this, &MainWindow::onFileNew);
    connect(m_ui->openAction, &QAction::triggered, this, &MainWindow::onFileOpen);
    connect(m_ui->saveAsAction, &QAction::triggered, this, &MainWindow::onFileSaveAs);
    connect(m_ui->exitAction, &QAction::triggered, this, &MainWindow::onExit);
    connect(m_ui->preferencesAction, &QAction::triggered, this, &MainWindow::onPreferences);
    connect(m_ui->reoptimizeAction, &QAction::triggered, this, &MainWindow::onReoptimize);
    connect(m_ui->aboutAction, &QAction::triggered, this, &MainWindow::onAbout);
    connect(m_ui->viewCalculationsCheck, &QCheckBox::clicked, this,
            &MainWindow::toggleCalculationsWindow);
    connect(m_ui->addButton, &QPushButton::clicked, this, &MainWindow::onAdd);
    connect(m_ui->checkReportButton, &QPushButton::clicked, this, &MainWindow::onCheckReport);
    connect(m_ui->deleteButton, &QPushButton::clicked, this, &MainWindow::onDelete);
    // Every user move (drag, groove click, keys, wheel) changes the value; the program's
    // own moves are made under a signal blocker and never arrive here.
    connect(m_ui->magnitudeSlider, &QSlider::valueChanged, this,
            &MainWindow::onMagnitudeSliderMoved);
    connect(m_ui->phaseSlider, &QSlider::valueChanged, this, &MainWindow::onPhaseSliderMoved);
    connect(m_ui->harmonicList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::onListSelectionChanged);
    connect(m_ui->undoAction, &QAction::triggered, this, &MainWindow::onUndo);
    connect(m_ui->redoAction, &QAction::triggered, this, &MainWindow::onRedo);
    // A drag, or a burst of keys while a slider keeps the focus, is one undo step.
    for (QSlider* slider : {m_ui->magnitudeSlider, m_ui->phaseSlider}) {
        connect(slider, &QSlider::sliderPressed, this, [this] { m_design->endGesture(); });
        connect(slider, &QSlider::sliderReleased, this, [this] { m_design->endGesture(); });
    }
    connect(qApp, &QApplication::focusChanged, this, [this] { m_design->endGesture(); });
    m_ui->harmonicList->viewport()->installEventFilter(this);
}

void MainWindow::initialize()
{
    showSplash();
    setWindowIcon(programIcon());
    Design::loadWisdom(m_store);
    m_design->loadSettings(m_store);
    m_recentFiles.load(m_store);
    showRecentFiles();

    // A space between each caption and its value, taken from the free room on the right.
    for (QLabel* value : {m_ui->displayCyclesLabel, m_ui->fftWindowLabel}) {
        const int space = value->fontMetrics().horizontalAdvance(QLatin1Char(' '));
        value->setIndent(space);
        value->resize(value->width() + space, value->height());
    }
    createChartInFrame(m_waveformChart, ChartType::Waveform, m_ui->waveformFrame);
    createChartInFrame(m_spectrumChart, ChartType::Spectrum, m_ui->spectrumFrame);
    m_spectrumChart.setSpectrumScale(readSetting<SpectrumScale>(m_store, setting::spectrumScale));
    m_spectrumChart.setScaleChangedHandler(
        [this](SpectrumScale scale) { setSpectrumScale(scale); });
    for (ChartControl* chart : {&m_waveformChart, &m_spectrumChart}) {
        chart->setSaveImageHandler([this] { saveChartImage(); });
    }
    restoreWindowGeometry();  // once the charts are there to be laid out

    setUpSliders();
    showCycleLabels();
    m_calculationsWindow = new CalculatedValuesDialog(this);
    applyNumberHeading();

    OptimizingDialogProgress progress(m_splash ? static_cast<QWidget*>(m_splash.get()) : this,
                                      m_pause);
    m_design->runFirstRunOptimization(m_store, progress);

    showMaskChoice();
    m_design->start();
    m_design->setChangeListener([this](DesignChanges changes) { showChanges(changes); });
    showBoundValues();
    m_pause(kStartPauseMs);
    recalculateAndShow();
    m_splash.reset();
}

ChartAxes MainWindow::chartAxes() const
{
    return chartAxesFor(m_design->active());
}

QString MainWindow::chooseImageFile()
{
    // Each filter with the extension it adds to a name typed without one, as Save As adds.
    static const std::array<std::pair<QString, QString>, 3> kKinds = {
        std::pair{QStringLiteral("PNG image (*.png)"), QStringLiteral("png")},
        std::pair{QStringLiteral("SVG drawing (*.svg)"), QStringLiteral("svg")},
        std::pair{QStringLiteral("PDF document (*.pdf)"), QStringLiteral("pdf")}};
    QString typed;
    for (;;) {
        QFileDialog dialog(this, QStringLiteral("Save Image As"), startFolder());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        QStringList filters;
        for (const auto& kind : kKinds) {
            filters << kind.first;
        }
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(kKinds.front().second);
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            for (const auto& kind : kKinds) {
                if (kind.first == filter) {
                    dialog.setDefaultSuffix(kind.second);
                }
            }
        });
        if (!typed.isEmpty()) {
            dialog.selectFile(typed);  // back with the name refused, as Save As comes back
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        typed = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
        const QString suffix = QFileInfo(typed).suffix().toLower();
        const bool known = std::any_of(kKinds.begin(), kKinds.end(), [&suffix](const auto& kind) {
            return kind.second == suffix;
        });
        if (!known) {
            showMessage(this, MessageKind::Exclamation,
                        QStringLiteral("The image could not be saved to %1: the picture must end "
                                       "in .png, .svg or .pdf")
                            .arg(QDir::toNativeSeparators(typed)));
            continue;
        }
        if (mayWriteTo(this, *m_design, typed)) {
            m_lastDirectory = QFileInfo(typed).absolutePath();
            return typed;
        }
    }
}

void MainWindow::saveChartImage()
{
    const QString path = chooseImageFile();
    if (path.isEmpty()) {
        return;
    }
    const QString middle =
        QString::fromStdString(pictureCaption(m_design->active(), m_design->result().texts));
    QString error;
    const auto bytes = chartPicture(m_design->result(), chartAxes(), middle, kPictureSize.width(),
                                    kPictureSize.height(), path, error,
                                    m_spectrumChart.spectrumScale(), maskLimitLines());
    if (bytes) {
        // As a design is saved: atomically, keeping the file's mode, never through a link.
        const SaveResult saved = saveFileAtomically(QFile::encodeName(path).toStdString(),
                                                    std::string_view(bytes->data(), bytes->size()));
        error = QString::fromStdString(saved.error);
        if (saved.ok()) {
            return;
        }
    }
    showMessage(this, MessageKind::Exclamation,
                QStringLiteral("The image could not be saved to %1%2")
                    .arg(QDir::toNativeSeparators(path),
                         error.isEmpty() ? QString() : QStringLiteral(": ") + error));
}

void MainWindow::setSpectrumScale(SpectrumScale scale)
{
    m_spectrumChart.setSpectrumScale(scale);
    writeSetting(m_store, setting::spectrumScale, scale);
}

void MainWindow::restoreWindowGeometry()
{
    // The charts laid out for the client area as it is, so that a restored size is a change.
    layoutCharts(m_ui->centralWidget->width(), m_ui->centralWidget->height());
    const QByteArray stored = QByteArray::fromBase64(
        QByteArray::fromStdString(readSetting(m_store, setting::windowGeometry)));
    // A damaged value could leave the window too small to see, too large to be shown, or off
    // every screen: the default placement stays then.
    if (isUsableGeometry(stored, size(), minimumSize())) {
        (void)restoreGeometry(stored);
    }
}

void MainWindow::showSplash()
{
    m_splash = std::make_unique<SplashDialog>(nullptr);
    const QRect screenArea = m_splash->screen()->availableGeometry();
    m_splash->move(screenArea.center() - m_splash->rect().center());
    m_splash->show();
    flushPainting();
    m_splash->repaint();
}

void MainWindow::createChartInFrame(ChartControl& chart, ChartType type, QWidget* frame)
{
    chart.create(type, m_ui->centralWidget, frame->geometry());
    delete frame;  // the chart takes the frame's place
    chart.rebuildChartBuffer();
}

void MainWindow::setUpSliders()
{
    const QSignalBlocker blockMagnitude(m_ui->magnitudeSlider);
    const QSignalBlocker blockPhase(m_ui->phaseSlider);
    m_ui->magnitudeSlider->setRange(0, kMagnitudePositions);
    m_ui->magnitudeSlider->setPageStep(50);
    m_ui->phaseSlider->setRange(0, kPhasePositions);
    m_ui->phaseSlider->setPageStep(15);
    showEntryOnSliders(Design::kFundamental);
}

void MainWindow::showCycleLabels()
{
    const CycleLabels labels = cycleLabelTexts(m_design->active());
    m_ui->displayCyclesLabel->setText(fromStd(labels.display));
    m_ui->fftWindowLabel->setText(fromStd(labels.fft));
}

void MainWindow::showBoundValues()
{
    const bool selected = m_design->selectedEntry().has_value();
    for (QSlider* slider : {m_ui->magnitudeSlider, m_ui->phaseSlider}) {
        slider->setEnabled(selected);
    }
    m_ui->magnitudeValue->setText(selected ? m_magnitudeText : QString());
    m_ui->phaseValue->setText(selected ? m_phaseText : QString());
    m_ui->viewCalculationsCheck->setChecked(m_viewCalculations);
}

void MainWindow::selectListRow(int row)
{
    if (m_followingUserSelection) {
        return;  // the view already shows the row the user picked
    }
    QItemSelectionModel* selection = m_ui->harmonicList->selectionModel();
    const QSignalBlocker guard(selection);  // the table chose the row: no user selection
    if (row < 0) {
        selection->clearSelection();
    } else {
        selection->select(m_listModel->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_ui->harmonicList->viewport()->update();
}

void MainWindow::recalculateAndShow()
{
    const WaitCursor wait;
    const bool listRows = m_calculationsWindow != nullptr;
    const RecalcResult& result = m_design->recalculate(listRows);
    if (listRows) {
        m_calculationsWindow->replaceCalculatedRows(result.rows);
    }
    m_ui->totalValue->setText(fromStd(result.texts.total));
    m_ui->oddValue->setText(fromStd(result.texts.odd));
    m_ui->evenValue->setText(fromStd(result.texts.even));
    m_ui->dcValue->setText(fromStd(result.texts.dc));
    m_ui->interValue->setText(fromStd(result.texts.inter));
    m_ui->resolutionHint->setText(fromStd(result.resolution));
    showQualityFigures(result);
    showUndoState();
    showDocumentState();
    m_spectrumChart.setLimitLines(maskLimitLines());
    fillCharts(m_waveformChart, m_spectrumChart, result.waveform, result.axisHalfRange,
               result.spectrum, chartAxes());
    emit recalculated();
}

void MainWindow::showQualityFigures(const RecalcResult& result)
{
    const QualityTexts texts = qualityTexts(result);
    m_ui->thdRValue->setText(fromStd(texts.thdR));
    m_ui->thd40Value->setText(fromStd(texts.thd40));
    m_ui->thd50Value->setText(fromStd(texts.thd50));
    m_ui->kFactorValue->setText(fromStd(texts.kFactor));
    m_ui->crestValue->setText(fromStd(texts.crest));
    m_ui->formFactorValue->setText(fromStd(texts.formFactor));
    if (m_calculationsWindow) {
        m_calculationsWindow->showQualityFigures(texts);
    }
    showCheck();
}

namespace {

/**
 * text, or as much of it as label shows in its word-wrapped lines, the last of them ended by
 * an ellipsis: a line cut through the middle would be read as the verdict. One layout of
 * the lines that show, since it runs on every recalculation with a mask.
 */
QString fittedText(const QLabel& label, const QString& text)
{
    const QRect box = label.contentsRect();
    const QFontMetrics metrics(label.font());
    const int lines = box.height() / metrics.lineSpacing();
    if (box.width() <= 0 || lines <= 0) {
        return text;
    }
    QTextLayout layout(text, label.font());
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrapping);
    layout.beginLayout();
    QTextLine last;
    for (int line = 0; line < lines; ++line) {
        QTextLine next = layout.createLine();
        if (!next.isValid()) {
            break;
        }
        next.setLineWidth(box.width());
        last = next;
    }
    layout.endLayout();
    if (!last.isValid() || last.textStart() + last.textLength() >= text.size()) {
        return text;
    }
    return text.left(last.textStart()) +
           metrics.elidedText(text.mid(last.textStart()), Qt::ElideRight, box.width());
}

}  // namespace

void MainWindow::showCheck()
{
    const auto& check = m_design->limitMask().lastCheck();
    const QString verdict = check ? fromStd(verdictLine(*check)) : QString();
    // The label holds what fits; the tooltip and the report hold the rest.
    m_ui->maskVerdict->setText(fittedText(*m_ui->maskVerdict, verdict));
    m_ui->maskVerdict->setToolTip(verdict);
    m_ui->checkReportButton->setEnabled(check.has_value());
    if (m_checkReport) {
        m_checkReport->showReport(check ? fromStd(checkReport(*check)) : QString());
    }
}

void MainWindow::onCheckReport()
{
    if (!m_checkReport) {
        m_checkReport = new CheckReportDialog(this);
    }
    showCheck();
    m_checkReport->show();
    m_checkReport->raise();
}

void MainWindow::setUpQualityTooltips()
{
    const std::tuple<QLabel*, QLabel*, const char*> definitions[] = {
        {m_ui->thdRCaption, m_ui->thdRValue,
         "THD-R: the harmonic distortion relative to the RMS of the whole orders, "
         "\u221a(\u03a3\u2095\u208c\u2082 X\u2095\u00b2) \u00f7 \u221a(\u03a3\u2095\u208c\u2081 "
         "X\u2095\u00b2), without DC and interharmonics"},
        {m_ui->thd40Caption, m_ui->thd40Value,
         "THD\u2084\u2080: the distortion of the whole orders 2 to 40 only, without DC and "
         "interharmonics, as the standards count it"},
        {m_ui->thd50Caption, m_ui->thd50Value,
         "THD\u2085\u2080: the distortion of the whole orders 2 to 50 only, as IEEE 519 counts it"},
        {m_ui->kFactorCaption, m_ui->kFactorValue,
         "K-factor: \u03a3 h\u00b2\u00b7X\u2095\u00b2 \u00f7 \u03a3 X\u2095\u00b2 over "
         "every line but DC, how much more a transformer heats than on a pure fundamental"},
        {m_ui->crestCaption, m_ui->crestValue,
         "Crest factor: peak \u00f7 RMS of the displayed waveform"},
        {m_ui->formFactorCaption, m_ui->formFactorValue,
         "Form factor: RMS \u00f7 mean |x| of the displayed waveform"},
    };
    for (const auto& [caption, value, definition] : definitions) {
        caption->setToolTip(QString::fromUtf8(definition));
        value->setToolTip(caption->toolTip());
    }
}

void MainWindow::setUpMaskMenu()
{
    auto* menu = new QMenu(QStringLiteral("Limit &Mask"), m_ui->optionsMenu);
    menu->setObjectName(QStringLiteral("limitMaskMenu"));
    m_ui->optionsMenu->insertMenu(m_ui->reoptimizeAction, menu);
    m_maskGroup = new QActionGroup(this);
    const auto addItem = [this](QMenu* to, const QString& text, const QString& kind) {
        QAction* action = to->addAction(text);
        action->setCheckable(true);
        action->setData(kind);
        m_maskGroup->addAction(action);
    };
    addItem(menu, QStringLiteral("&None"), QLatin1String(kNoMask));
    QMenu* ieee = nullptr;
    for (const BuiltInMask& mask : builtInMasks()) {
        const bool asksCurrent = mask.parameters == std::vector{MaskParameter::FundamentalRms};
        if (!mask.parameters.empty() && !asksCurrent) {
            continue;  // the window asks for no parameter but the fundamental's current
        }
        const QString name = fromStd(mask.name);
        QString title = fromStd(mask.title);
        if (name.startsWith(QLatin1String(kIeee519Prefix))) {
            if (!ieee) {
                ieee = menu->addMenu(QStringLiteral("IEEE 519"));
            }
            // The submenu names the standard; its items the voltage levels alone.
            title.remove(QStringLiteral("IEEE 519 (")).remove(u')');
            addItem(ieee, title, name);
        } else {
            addItem(menu, asksCurrent ? title + QStringLiteral("\u2026") : title, name);
        }
    }
    menu->addSeparator();
    addItem(menu, QStringLiteral("From &File\u2026"), QLatin1String(kMaskFile));
    m_maskGroup->setExclusive(true);
    connect(m_maskGroup, &QActionGroup::triggered, this, &MainWindow::onMaskChosen);
    m_ui->optionsMenu->insertSeparator(m_ui->reoptimizeAction);
}

std::optional<MaskSource> MainWindow::maskSourceFor(const QAction* action)
{
    const QString kind = action->data().toString();
    MaskSource source;
    if (kind == QLatin1String(kNoMask)) {
        return source;
    }
    if (kind == QLatin1String(kMaskFile)) {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Open Limit Mask"), startFolder(),
                                         QStringLiteral("Limit Masks (*.csv);;All Files (*)"),
                                         nullptr, QFileDialog::DontUseNativeDialog);
        if (path.isEmpty()) {
            return std::nullopt;
        }
        source.kind = MaskSource::Kind::File;
        source.path = QFile::encodeName(path).toStdString();
        return source;
    }
    source.kind = MaskSource::Kind::BuiltIn;
    source.name = kind.toStdString();
    const auto& masks = builtInMasks();
    const auto mask = std::find_if(masks.begin(), masks.end(),
                                   [&](const BuiltInMask& m) { return m.name == source.name; });
    if (mask != masks.end() && !mask->parameters.empty()) {
        const std::optional<double> last = m_design->limitMask().source().parameters.fundamentalRms;
        CurrentDialog ask(this, last.value_or(kDefaultFundamentalCurrent));
        if (ask.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        source.parameters.fundamentalRms = ask.current();
    }
    return source;
}

void MainWindow::onMaskChosen(QAction* action)
{
    if (const std::optional<MaskSource> source = maskSourceFor(action)) {
        if (const std::string error = chooseMask(*source); !error.empty()) {
            const QString file = QFileInfo(QFile::decodeName(source->path.c_str())).fileName();
            showMessage(this, MessageKind::Exclamation,
                        QStringLiteral("The limit mask %1cannot be used.\n")
                                .arg(file.isEmpty() ? QString() : file + u' ') +
                            fromStd(error));
        }
    }
    showMaskChoice();  // a cancelled or refused choice leaves its item ticked otherwise
}

std::string MainWindow::chooseMask(const MaskSource& source)
{
    if (source.kind != MaskSource::Kind::File) {
        return m_design->chooseMask(source);
    }
    std::optional<MaskChoice> read = readMaskInBackground(source.path);
    return read ? m_design->chooseMask(source, std::move(*read)) : std::string();
}

std::optional<MaskChoice> MainWindow::readMaskInBackground(const std::string& path)
{
    const QString name = QFileInfo(QFile::decodeName(path.c_str())).fileName();
    return runInBackground(
        this, QStringLiteral("Korvalin - Limit Mask"), QStringLiteral("Reading %1\u2026").arg(name),
        [path](const ReadProgress& progress) { return readMaskFile(path, progress); });
}

void MainWindow::readRememberedMask()
{
    const MaskSource remembered = m_design->limitMask().source();
    std::optional<MaskChoice> read = readMaskInBackground(remembered.path);
    if (!m_design->limitMask().awaitsFile()) {
        return;  // the user chose a mask meanwhile, which stands
    }
    // As any start takes a stored mask: one that cannot be had (or was cancelled) leaves none.
    if (!read || !m_design->chooseMask(remembered, std::move(*read)).empty()) {
        static_cast<void>(m_design->chooseMask(MaskSource{}));
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_rememberedMaskQueued && m_design->limitMask().awaitsFile()) {
        m_rememberedMaskQueued = true;
        // Once the window is up and handling events: the reading may take a while.
        QMetaObject::invokeMethod(this, &MainWindow::readRememberedMask, Qt::QueuedConnection);
    }
}

std::vector<LimitLine> MainWindow::maskLimitLines() const
{
    const auto& check = m_design->limitMask().lastCheck();
    return check ? limitLines(*check, m_design->active().fftCycles) : std::vector<LimitLine>{};
}

void MainWindow::showMaskChoice()
{
    const MaskSource& source = m_design->limitMask().source();
    const QString kind = source.kind == MaskSource::Kind::None   ? QLatin1String(kNoMask)
                         : source.kind == MaskSource::Kind::File ? QLatin1String(kMaskFile)
                                                                 : fromStd(source.name);
    for (QAction* action : m_maskGroup->actions()) {
        action->setChecked(action->data().toString() == kind);
    }
}

void MainWindow::toggleCalculationsWindow()
{
    if (m_calculationsWindow == nullptr) {
        return;
    }
    if (m_calculationsWindow->isVisible()) {
        m_calculationsWindow->hide();
    } else {
        m_calculationsWindow->show();  // WA_ShowWithoutActivating: the focus stays here
    }
    m_viewCalculations = m_calculationsWindow->isVisible();
}

void MainWindow::layoutCharts(int width, int height)
{
    // The first size is laid out too: the charts' places in the form are not those of the
    // window's real client area, which would otherwise show until the first resize.
    const bool unchanged =
        (width == m_previousWidth && height == m_previousHeight) || (width == 0 && height == 0);
    if (!unchanged) {
        const int mid = height / 2;
        for (QObject* object : m_ui->centralWidget->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child && isMiddleRowControl(child)) {
                child->move(child->x(), mid - child->height() / 2);
            }
        }
        if (QWidget* chart = m_waveformChart.widget()) {
            chart->setGeometry(QRect(QPoint(chart->x(), chart->y()),
                                     QPoint(width - kEdgeGap - 1, mid - kChartGap - 1)));
            m_waveformChart.rebuildChartBuffer();
        }
        if (QWidget* chart = m_spectrumChart.widget()) {
            chart->setGeometry(QRect(QPoint(chart->x(), mid + kChartGap),
                                     QPoint(width - kEdgeGap - 1, height - kEdgeGap - 1)));
            m_spectrumChart.rebuildChartBuffer();
        }
    }
    m_previousWidth = width;
    m_previousHeight = height;
}

void MainWindow::rememberDefaultRects()
{
    std::erase_if(m_defaultRects, [](const auto& entry) { return entry.first.isNull(); });
    for (QObject* object : m_ui->centralWidget->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        const auto seen = [child](const auto& entry) { return entry.first == child; };
        if (child && std::none_of(m_defaultRects.begin(), m_defaultRects.end(), seen)) {
            m_defaultRects.emplace_back(child, child->geometry());
        }
    }
}

void MainWindow::stretchListColumn(int clientHeight)
{
    rememberDefaultRects();
    const auto list =
        std::find_if(m_defaultRects.begin(), m_defaultRects.end(),
                     [this](const auto& entry) { return entry.first == m_ui->harmonicList; });
    const ListColumn column{list->second, m_defaultClientHeight};
    for (const auto& [control, rect] : m_defaultRects) {
        if (const std::optional<QRect> placed = column.place(rect, clientHeight)) {
            // Only vertically: a control may have been widened to fit its text since.
            control->setGeometry(control->x(), placed->y(), control->width(), placed->height());
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->harmonicList->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // A double-click anywhere on the list, a row or the empty area, edits the selection.
        QMetaObject::invokeMethod(this, &MainWindow::onEdit, Qt::QueuedConnection);
        return false;
    }
    if (watched == m_ui->centralWidget && event->type() == QEvent::Resize) {
        const QSize size = static_cast<QResizeEvent*>(event)->size();
        if (!isMinimized()) {
            layoutCharts(size.width(), size.height());
            stretchListColumn(size.height());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (isMinimized()) {
            layoutCharts(0, 0);  // a minimize is a size of nothing
        } else if (change->oldState() & Qt::WindowMinimized) {
            // The restore after a minimize only records the size again.
            layoutCharts(m_ui->centralWidget->width(), m_ui->centralWidget->height());
        }
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape and Enter never close the main window, nor do anything else.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!mayDropChanges()) {
        event->ignore();
        return;
    }
    m_design->clear();
    writeSetting(m_store, setting::windowGeometry, saveGeometry().toBase64().toStdString());
    event->accept();
}

bool MainWindow::mayDropChanges()
{
    if (!m_design->isModified()) {
        return true;
    }
    const std::string& fileName = m_design->fileName();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Korvalin"),
                    QStringLiteral("Save changes to %1 before closing?")
                        .arg(fileName.empty() ? QStringLiteral("Untitled")
                                              : QFileInfo(fromStd(fileName)).fileName()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Save)->setText(QStringLiteral("Save\u2026"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return onFileSaveAs();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void MainWindow::onExit()
{
    close();
}

void MainWindow::onReoptimize()
{
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QStringLiteral("Korvalin"),
        QStringLiteral("Reoptimizing will take several minutes.\nAre you sure you want to "
                       "reoptimize now?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        return;
    }
    OptimizingDialogProgress progress(this, m_pause);
    m_design->reoptimize(progress);
}

void MainWindow::onAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainWindow::setUpShortcuts()
{
    m_ui->redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    const std::pair<QKeySequence, void (MainWindow::*)()> listKeys[] = {
        {QKeySequence(Qt::Key_Delete), &MainWindow::onDelete},
        {QKeySequence(Qt::Key_F2), &MainWindow::onEdit},
        {QKeySequence(Qt::Key_Insert), &MainWindow::onAdd},
    };
    for (const auto& [keys, command] : listKeys) {
        auto* shortcut = new QShortcut(keys, m_ui->harmonicList, nullptr, nullptr,
                                       Qt::WidgetWithChildrenShortcut);  // owned by the list
        connect(shortcut, &QShortcut::activated, this, command);
    }
}

void MainWindow::showUndoState()
{
    const auto caption = [](const char* verb, const std::string& name) {
        return name.empty() ? QString::fromLatin1(verb)
                            : QString::fromLatin1(verb) + u' ' + fromStd(name);
    };
    m_ui->undoAction->setText(caption("&Undo", m_design->undoName()));
    m_ui->undoAction->setEnabled(m_design->canUndo());
    m_ui->redoAction->setText(caption("&Redo", m_design->redoName()));
    m_ui->redoAction->setEnabled(m_design->canRedo());
}

void MainWindow::showDocumentState()
{
    QString title = QStringLiteral("Quandrel - Korvalin");
    if (const std::string& fileName = m_design->fileName(); !fileName.empty()) {
        // "[*]" is Qt's modified-marker placeholder; doubled, it shows as itself.
        QString name = QFileInfo(fromStd(fileName)).fileName();
        name.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
        title += QStringLiteral(" [") + name + u']';
    }
    setWindowTitle(title + QStringLiteral("[*]"));
    setWindowModified(m_design->isModified());
}

void MainWindow::onUndo()
{
    m_design->undo();
}

void MainWindow::onRedo()
{
    m_design->redo();
}

void MainWindow::showChanges(DesignChanges changes)
{
    if (changes.has(DesignChanges::Document)) {
        m_waveformChart.showWholeRange();
        m_spectrumChart.showWholeRange();
    }
    if (changes.has(DesignChanges::Replaced)) {
        showSelection();
    }
    if (changes.has(DesignChanges::Settings)) {
        showCycleLabels();
    }
    if (changes.has(DesignChanges::Mask)) {
        showMaskChoice();
    }
    showBoundValues();
    recalculateAndShow();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile()) {
        event->acceptProposedAction();
        // Opened once the drop has finished, so the drag source is not kept waiting.
        const QString path = urls.front().toLocalFile();
        QMetaObject::invokeMethod(
            this, [this, path] { openFile(path); }, Qt::QueuedConnection);
    }
}
