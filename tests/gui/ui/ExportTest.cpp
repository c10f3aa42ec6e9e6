// File > Export, reached through its menu as a user reaches it, and the files it writes.

#include "UiTestSupport.h"

class ExportTest : public QObject {
    Q_OBJECT

private:
    // The File > Export item a user reads as text.
    static QAction* item(MainWindow& window, const QString& text)
    {
        for (QAction* action : named<QMenu>(window, u"exportMenu"_s)->actions()) {
            if (action->text().remove(u'&') == text) {
                return action;
            }
        }
        return nullptr;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void waveformForInstrumentWritesAndRemembersTheChoices()
    {
        Started window;
        const TempDir dir;
        const QString path = QString::fromStdString(dir.file("codes"));
        QAction* waveform = item(*window, u"Waveform for Instrument\u2026"_s);
        QVERIFY(waveform);
        // 256 points, 2 cycles, codes of 8 bits, one value a line.
        drive([waveform] { waveform->trigger(); },
              {u"points=256 cycles=2 codes bits=8 text"_s, path});
        const QStringList values = QString::fromStdString(readWholeFile(dir.file("codes.txt")))
                                       .split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(values.size(), 512);
        QCOMPARE(values.front(), u"127"_s);  // a cosine fundamental starts at its peak
        QCOMPARE(values.at(128), u"-127"_s);
        QCOMPARE(
            drive([waveform] { waveform->trigger(); }),
            QStringList{u"Korvalin - Waveform for Instrument|256|2|1|8|codes|rms|text"_s});  // kept
    }

    void harmonicTableWritesTheChosenBasisAndReference()
    {
        Started window;
        window->design().add(3.0F, 10.0F, 30);
        const TempDir dir;
        const QString path = QString::fromStdString(dir.file("table"));
        QAction* table = item(*window, u"Harmonic Table\u2026"_s);
        QVERIFY(table);
        // Sine basis, fundamental reference.
        drive([table] { table->trigger(); }, {u"sine fundamental"_s, path});
        QCOMPARE(readWholeFile(dir.file("table.csv")),
                 "order,percent,degrees\n1,100,90\n3,10,40\n");
        // A refusal is shown: the fundamental at 0 degrees of a design without one.
        window->design().selectRow(0);
        window->design().deleteSelected();
        const QString other = QString::fromStdString(dir.file("other"));
        const QStringList seen =
            drive([table] { table->trigger(); }, {u"zeroPhase"_s, other, u"Ok"_s});
        QCOMPARE(seen.last(), u"Korvalin|Cannot write file "_s + other +
                                  u".csv.\nThe design has no fundamental to set to 0 degrees."_s);
    }
};

QTEST_MAIN(ExportTest)
#include "ExportTest.moc"
