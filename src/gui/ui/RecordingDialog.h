#pragma once

#include <QDialog>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "engine/LimitTables.h"
#include "recording/RecordingAnalysis.h"

class QComboBox;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class QTimer;

/**
 * Every window of a long recording, analysed off the window's thread (a progress bar and
 * Cancel while it runs): the trend of THD and chosen orders over time, the statistics of a
 * channel, the flagged spans and the verdict under the mask. The interval of the highest THD
 * is chosen first; clicking the trend chooses the interval nearest; "Use Interval as Design"
 * closes the dialog with it chosen.
 */
class RecordingDialog final : public QDialog {
    Q_OBJECT

public:
    /** aggregation: the values shown first. */
    RecordingDialog(QString path, std::optional<double> rate, std::optional<LimitMask> mask,
                    Aggregation aggregation, QWidget* parent);
    ~RecordingDialog() override;
    RecordingDialog(const RecordingDialog&) = delete;
    RecordingDialog& operator=(const RecordingDialog&) = delete;

    /** Starts the analysis at the chosen aggregation; one at a time. */
    void start();
    /** Whether an analysis is under way. */
    [[nodiscard]] bool running() const { return m_worker != nullptr; }

    /** The chosen interval: its channel (from 1) and start in seconds. */
    struct Choice {
        int channel = 1;
        double start = 0.0;
    };
    [[nodiscard]] const std::optional<Choice>& choice() const { return m_choice; }

protected:
    void reject() override;

private:
    void build();
    void finish();
    void showChannel();
    void showTrend();
    void chooseAt(double seconds);
    void chooseWorst();
    void choose(const IntervalValues* interval);
    [[nodiscard]] int currentChannel() const;
    /** An interval of channel that can be chosen: measured and not flagged. */
    [[nodiscard]] static bool usable(const IntervalValues& interval, int channel);
    [[nodiscard]] std::vector<std::size_t> chosenValues() const;

    QString m_path;
    std::optional<double> m_rate;
    std::optional<LimitMask> m_mask;

    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QComboBox* m_aggregation = nullptr;
    QComboBox* m_channel = nullptr;
    QLineEdit* m_orders = nullptr;
    QCustomPlot* m_trend = nullptr;
    QTableWidget* m_statistics = nullptr;
    QListWidget* m_flagged = nullptr;
    QLabel* m_verdict = nullptr;
    QPushButton* m_use = nullptr;
    QTimer* m_poll = nullptr;

    std::unique_ptr<QThread> m_worker;
    std::atomic<int> m_permille{0};
    std::atomic<bool> m_stop{false};
    /** Written by the worker, read once it has finished. */
    std::optional<Outcome<RecordingAnalysis>> m_result;
    std::vector<IntervalValues> m_intervals;
    std::optional<Choice> m_choice;
};
