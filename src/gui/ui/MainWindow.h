#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charts/ChartControl.h"
#include "design/CaptureImport.h"
#include "design/Design.h"
#include "files/DocumentWriter.h"
#include "settings/RecentFiles.h"
#include "ui/Pause.h"

class CalculatedValuesDialog;
class HarmonicListModel;
class QAction;
class QActionGroup;
class QLabel;
class QSlider;
class SettingsStore;
class SplashDialog;

namespace Ui {
class MainWindow;
}
class CheckReportDialog;

/**
 * The main window: the harmonic list and its editing controls, the five figures, the two
 * charts and the cycle labels. It turns widget events into commands of its Design and
 * shows their results; it owns the calculated-values window and writes settings and
 * wisdom back when it is destroyed.
 */
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    /**
     * store keeps settings and wisdom; pause is every fixed pause (a no-op in tests); rigor
     * is how plans are made, the optimizations included (tests estimate, for speed).
     */
    MainWindow(SettingsStore& store, PauseFunction pause, PlanRigor rigor = PlanRigor::Measure,
               QWidget* parent = nullptr);
    /** Exports the wisdom, discards the plan and stores the settings. */
    ~MainWindow() override;
    Q_DISABLE_COPY_MOVE(MainWindow)

    /** The start-up sequence, up to the first recalculation; call once, before show(). */
    void initialize();

    /** Shows the calculated-values window without activating it, or hides it. */
    void toggleCalculationsWindow();
    /** Open of a chosen path: the design, title, sliders and charts follow the file. */
    void openFile(const QString& path);

    [[nodiscard]] const Design& design() const { return *m_design; }
    /** The design itself, for benchmarks that set one up directly. */
    [[nodiscard]] Design& design() { return *m_design; }

    /** How Save As writes its bytes; tests put a failing writer here. */
    using SaveFunction = std::function<SaveResult(const std::string&, std::string_view)>;
    void setSaveFunction(SaveFunction save) { m_save = std::move(save); }
    /** How Import Capture reads a capture; tests put a reader that takes its time here. */
    void setCaptureReader(CaptureReader read) { m_readCapture = std::move(read); }

signals:
    /** The design was recalculated and the charts, figures and rows show the result. */
    void recalculated();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    /** The first show reads the remembered mask file, which the start does not wait for. */
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /** Recalculates the design and shows it: charts, figures, calculated rows. */
    void recalculateAndShow();
    /** Re-centers the middle row and moves the charts for a new client size. */
    void layoutCharts(int width, int height);

    void onAdd();
    void onDelete();
    /** Edits the selected harmonic (a double-click anywhere on the list). */
    void onEdit();
    void onFileNew();
    void onFileOpen();
    /** File > Import Capture: a measured capture's analyzed lines become the design. */
    void onImportCapture();
    void onUndo();
    void onRedo();
    /** Save As until a save succeeds or the user cancels; returns whether it saved. */
    bool onFileSaveAs();
    void onPreferences();
    void onReoptimize();
    void onAbout();
    /**
     * File > Exit and the close box: unsaved changes are offered to Save As first; then the
     * table is emptied and the window closes.
     */
    void onExit();
    /** The spectrum's scale, as its context menu picks it; remembered in the settings. */
    void setSpectrumScale(SpectrumScale scale);

    void connectCommands();
    void addImportCaptureItem();
    void setUpShortcuts();
    /** Undo and Redo name the commands they would take back or do again. */
    void showUndoState();
    /** The title names the design's file and marks unsaved changes. */
    void showDocumentState();
    /** Asks whether to save unsaved changes; false when the window must stay open. */
    [[nodiscard]] bool mayDropChanges();
    /** Sliders and labels show the selected harmonic, or an empty selection. */
    void showSelection();
    /**
     * The one place the window follows the design: what changes shows, then the
     * recalculation. A new document shows the charts' whole range again.
     */
    void showChanges(DesignChanges changes);
    /** Every window of the recording at path, and the window of an interval as the design. */
    void analyzeEveryWindow(const QString& path, double rate, double seconds);
    void rememberFile(const QString& path);
    void showRecentFiles();
    [[nodiscard]] QString startFolder() const;
    void showSplash();
    /**
     * The list takes the client height above the default; the controls under it in its
     * column move down by as much.
     */
    void stretchListColumn(int clientHeight);
    /** Takes each new child's rectangle as it stands, before the list's column moves it. */
    void rememberDefaultRects();
    /** The size, place and state of the last run when they fit a screen; else the default. */
    void restoreWindowGeometry();
    [[nodiscard]] ChartAxes chartAxes() const;
    /** Asks for a file and saves both charts there as PNG, SVG or PDF. */
    void saveChartImage();
    /** The chart takes the frame's place; the frame goes. */
    void createChartInFrame(ChartControl& chart, ChartType type, QWidget* frame);
    void setUpSliders();
    void showCycleLabels();
    /** The power-quality block and the mask's verdict of one recalculation. */
    void showQualityFigures(const RecalcResult& result);
    /** The mask's verdict under the figures, and the whole report where it is open. */
    void showCheck();
    void onCheckReport();
    /** Each power-quality label says what its figure is. */
    void setUpQualityTooltips();
    /** Options > Limit Mask: None, the built-in masks in their order, From File. */
    void setUpMaskMenu();
    /** A user picked a mask's menu item: asks what it needs, then checks with it. */
    void onMaskChosen(QAction* action);
    /**
     * The design takes source, a mask file read on a worker; the reason when its mask cannot be
     * had, empty when taken or when the user cancelled the reading.
     */
    [[nodiscard]] std::string chooseMask(const MaskSource& source);
    /** A mask file read on a worker, the window responsive; none when the user cancelled. */
    [[nodiscard]] std::optional<MaskChoice> readMaskInBackground(const std::string& path);
    /** The mask file remembered from the last run, read now; none when it cannot be had. */
    void readRememberedMask();
    /** The source a menu item stands for, asked for where it needs I1 or a file; none: cancelled.
     */
    [[nodiscard]] std::optional<MaskSource> maskSourceFor(const QAction* action);
    /** The limits of the last recalculation's mask check, for the spectrum; none without a mask. */
    [[nodiscard]] std::vector<LimitLine> maskLimitLines() const;
    /** Ticks the menu item of the design's mask. */
    void showMaskChoice();
    /**
     * Pushes the slider label texts and the check box to the screen; without a selected
     * harmonic the sliders are disabled and their labels empty.
     */
    void showBoundValues();
    void selectListRow(int row);

    void onMagnitudeSliderMoved(int position);
    void onPhaseSliderMoved(int position);
    void onListSelectionChanged();
    /** Moves both sliders as the program, never as a user move, and takes the positions over. */
    void setSliderPositions(int magnitudePosition, int phasePosition);
    /** Sliders and labels show an entry: the selection display. */
    void showEntryOnSliders(const HarmonicEntry& entry);
    /** Sliders and labels after Add or Edit: the labels show the values as entered. */
    void showEnteredValues(float magnitude, int phase);
    /** Sliders at 0 and 180, labels "0.00" and "0": what an empty table shows. */
    void showEmptySelection();
    void applyNumberHeading();
    [[nodiscard]] QString chooseFile(bool save);
    /** Save Image As's file: asked again after a refused name; empty when cancelled. */
    [[nodiscard]] QString chooseImageFile();
    /** Writes the design to path through m_save: Save As once the name is settled. */
    [[nodiscard]] SaveResult saveDocument(const std::string& path);

    std::unique_ptr<Ui::MainWindow> m_ui;
    SettingsStore& m_store;
    PauseFunction m_pause;
    std::unique_ptr<Design> m_design;
    HarmonicListModel* m_listModel = nullptr;
    ChartControl m_waveformChart;
    ChartControl m_spectrumChart;
    CalculatedValuesDialog* m_calculationsWindow = nullptr;
    CheckReportDialog* m_checkReport = nullptr;  ///< made when first asked for; a child
    std::unique_ptr<SplashDialog> m_splash;
    QActionGroup* m_maskGroup = nullptr;

    int m_lastMagnitudePosition = 0;
    int m_lastPhasePosition = 0;
    QString m_magnitudeText;
    QString m_phaseText;
    bool m_viewCalculations = false;
    int m_previousWidth = 0;
    int m_previousHeight = 0;
    int m_defaultClientHeight = 0;
    /// Each child's rectangle as first seen, before the list's column moved it.
    std::vector<std::pair<QPointer<QWidget>, QRect>> m_defaultRects;
    bool m_followingUserSelection = false;
    bool m_rememberedMaskQueued = false;
    QString m_lastDirectory;
    RecentFiles m_recentFiles;
    SaveFunction m_save = [](const std::string& path, std::string_view bytes) {
        return saveFileAtomically(path, bytes);
    };
    CaptureReader m_readCapture = readCapture;
};
